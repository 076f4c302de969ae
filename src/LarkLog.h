#ifndef LARKLOG_H
#define LARKLOG_H

// Logging macros of the library (not installed). Each statement names the qualified function,
// e.g. LARK_WARNING << "cannot open file" << path;  ->  "FileUtils::readFileContent",
// in the category of its subsystem ("lark.files", set by the build for each source folder).
// A message that the category's rules drop costs one check: its items are not even built.

#include <Logwell.h>

#ifndef LARK_LOG_CATEGORY
#define LARK_LOG_CATEGORY "lark"
#endif

// A loop of at most one turn, so that an if/else around a statement stays what it looks like.
#define LARK_LOG(type)                                                                      \
    for (bool larkLogEnabled = Logwell::isEnabled(LARK_LOG_CATEGORY, type); larkLogEnabled;  \
         larkLogEnabled = false)                                                            \
        Logwell(LARK_LOG_CATEGORY, type, __FILE__, __PRETTY_FUNCTION__, __LINE__, Logwell::PrettyFunction)
// The same under the name of the public function that a private helper works for.
#define LARK_LOG_AS(type, function)                                                         \
    for (bool larkLogEnabled = Logwell::isEnabled(LARK_LOG_CATEGORY, type); larkLogEnabled;  \
         larkLogEnabled = false)                                                            \
        Logwell(LARK_LOG_CATEGORY, type, __FILE__, function, __LINE__)
#define LARK_DEBUG LARK_LOG(Logwell::LogDebug)
#define LARK_WARNING LARK_LOG(Logwell::LogWarning)
#define LARK_CRITICAL LARK_LOG(Logwell::LogCritical)
#define LARK_INFO LARK_LOG(Logwell::LogInfo)

#endif // LARKLOG_H
