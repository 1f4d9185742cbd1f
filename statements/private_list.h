// A code list of a construct's own, current while the construct compiles a
// part of itself: a forward jump can then be bound to the point just past a
// finished part. Whatever was not spliced in is dropped with the list, not
// detached: detaching would tear the syntax nodes and owners the dropped
// instructions name, which later diagnostics still read.
#pragma once

#include "codegen/compile_context.h"
#include "codegen/jump_scope.h"

class PrivateCodeList {
public:
    explicit PrivateCodeList(CompileContext& context) : context_(context), saved_(context.current) {
        context.current = &code;
    }
    ~PrivateCodeList() {
        context_.current = saved_;
        codegen::dropCodeList(code);
    }
    PrivateCodeList(const PrivateCodeList&) = delete;
    PrivateCodeList& operator=(const PrivateCodeList&) = delete;

    // Makes the outer list current again and appends this one's code to it.
    void spliceIntoOuter() {
        context_.current = saved_;
        context_.appendCode(code);
    }

    CodeList code;

private:
    CompileContext& context_;
    CodeList* saved_;
};
