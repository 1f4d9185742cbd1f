// The member texts of the core built-in classes (see member_text.h).
#pragma once

#include <span>

namespace builtins {

extern const char kExceptionMembers[];
extern const char kExceptionConstructors[];
extern const char kThreadMembers[];
extern const char kTimerTaskMembers[];
extern const char kRemoteCallPipeFixed[];  // placeholder "S"
extern const char kSystemMembers[];

// Each core text with the label and placeholders it is read under.
struct CoreMemberText {
    const char* label;
    const char* text;
    const char* placeholders;
};
std::span<const CoreMemberText> coreMemberTexts();

}  // namespace builtins
