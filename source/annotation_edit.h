// Editing the annotation list of a declaration node: merging the lists of
// two declarations of one entity, and setting parameters of "Native".
#pragma once

#include "diagnostics/diagnostics.h"
#include "source/node.h"

// Where a merge reports a conflict; the compile context implements it.
class AnnotationConflictSink {
public:
    virtual void reportError(const Diagnostic& entry, const qeAbstractNode* at) = 0;

protected:
    ~AnnotationConflictSink() = default;
};

// Merges the other node's annotations into the node's: a list is shared when
// the node has none; same-named annotations gain the other's parameters, and
// a parameter whose name differs from one already present is reported as
// "注解冲突:" at both and ends the merge of that annotation. The handle is
// released.
void mergeAnnotations(qeAbstractNode& node, AnnotationConflictSink& sink, _KNode<qeAbstractNode> other);

// The first parameter named `name` that has a value gets `value`; without
// one, a parameter holding the value is appended. Always true.
bool setAnnotationParameter(qeAbstractNode& annotation, const char* name, const char* value);

// Ensures a "Native" annotation on the node and, when both are given, sets
// its parameter. Always true.
bool setNativeAnnotationParameter(qeAbstractNode& node, const char* name, const char* value);
