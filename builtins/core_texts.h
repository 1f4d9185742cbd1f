// The member texts of the core built-in classes (see member_text.h).
#pragma once

namespace builtins {

extern const char kExceptionMembers[];
extern const char kExceptionConstructors[];
extern const char kThreadMembers[];
extern const char kTimerTaskMembers[];
extern const char kRemoteCallPipeFixed[];  // placeholder "S"
extern const char kSystemMembers[];

}  // namespace builtins
