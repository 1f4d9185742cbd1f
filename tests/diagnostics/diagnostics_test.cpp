#include <gtest/gtest.h>

#include <string>

#include "diagnostics/diagnostics.h"

namespace {

constexpr Diagnostic kTwoNames{DiagnosticKind::Error, 0, "from %s to %s."};

TEST(DiagnosticFormat, EachPlaceholderTakesTheNextArgumentAndArgumentsAreNotReadAgain) {
    EXPECT_EQ(formatDiagnostic(kTwoNames, {"int", "byte"}), "from int to byte.");
    // A name that holds a placeholder stays as it is.
    EXPECT_EQ(formatDiagnostic(kTwoNames, {"%s", std::string("a%sb")}), "from %s to a%sb.");
    EXPECT_EQ(formatDiagnostic(diag::TemplateArguments, {size_t{3}, -1}), "模板不接受3个参数, 应为-1个参数");
    // Texts without a placeholder take no argument, listings end a text.
    EXPECT_EQ(formatDiagnostic(diag::UnknownType, {}), diag::UnknownType.text);
    EXPECT_EQ(formatDiagnostic(diag::UnknownTypeListed, {qestl::qestringA(" - 是否")}), "未知的类型 - 是否");
}

}  // namespace
