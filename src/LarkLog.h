#ifndef LARKLOG_H
#define LARKLOG_H

// Logging macros of the library (not installed). Each statement names the qualified function,
// e.g. LARK_WARNING << "cannot open file" << path;  ->  "FileUtils::readFileContent".

#include <Logwell.h>

#define LARK_LOG(type) Logwell(type, __FILE__, __PRETTY_FUNCTION__, __LINE__, Logwell::PrettyFunction)
#define LARK_DEBUG LARK_LOG(Logwell::LogDebug)
#define LARK_WARNING LARK_LOG(Logwell::LogWarning)
#define LARK_CRITICAL LARK_LOG(Logwell::LogCritical)
#define LARK_INFO LARK_LOG(Logwell::LogInfo)

#endif // LARKLOG_H
