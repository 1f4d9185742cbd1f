#include "source/annotation_edit.h"

#include <cstring>

#include "diagnostics/diagnostics.h"
#include "source/ast_nodes.h"

namespace {

bool sameText(std::string_view a, std::string_view b) { return a == b; }

bool textIs(std::string_view text, const char* name) { return text == std::string_view(name); }

qeAbstractNode* annotationNamed(const qeAbstractNode& list, std::string_view name) {
    for (const _KNode<qeAbstractNode>& annotation : list.operands) {
        if (annotation && sameText(annotation->text, name)) return annotation.get();
    }
    return nullptr;
}

_KNode<qeAbstractNode> parameterNode(const char* name, const char* value) {
    _KNode<qeAbstractNode> parameter = makeAstNode(0, name);
    parameter->operands.pushBack(makeAstNode(0, value));
    return parameter;
}

void mergeParameters(qeAbstractNode& into, const qeAbstractNode& from, AnnotationConflictSink& sink) {
    for (const _KNode<qeAbstractNode>& parameter : from.operands) {
        if (!parameter) continue;
        for (const _KNode<qeAbstractNode>& present : into.operands) {
            if (!present || sameText(present->text, parameter->text)) continue;
            sink.reportError(diag::AnnotationConflict, present.get());
            sink.reportError(diag::AnnotationConflict, parameter.get());
            return;
        }
        into.operands.pushBack(parameter);
    }
}

}  // namespace

void mergeAnnotations(qeAbstractNode& node, AnnotationConflictSink& sink, _KNode<qeAbstractNode> other) {
    if (!other || !other->annotations()) return;
    if (!node.annotations()) {
        node.setAnnotations(other->annotations());
        return;
    }
    // Iterate over a copy: the lists may be one and the same.
    AstNodeVector incoming;
    for (const _KNode<qeAbstractNode>& annotation : other->annotations()->operands) incoming.pushBack(annotation);
    for (const _KNode<qeAbstractNode>& annotation : incoming) {
        if (!annotation) continue;
        qeAbstractNode* present = annotationNamed(*node.annotations(), annotation->text);
        if (present == nullptr) {
            node.annotations()->operands.pushBack(annotation);
        } else if (present != annotation.get()) {
            mergeParameters(*present, *annotation, sink);
        }
    }
}

bool setAnnotationParameter(qeAbstractNode& annotation, const char* name, const char* value) {
    for (const _KNode<qeAbstractNode>& parameter : annotation.operands) {
        if (!parameter || !textIs(parameter->text, name) || parameter->operands.empty()) continue;
        const _KNode<qeAbstractNode>& holder = parameter->operands[0];
        if (!holder) continue;
        holder->setText(value);
        return true;
    }
    annotation.operands.pushBack(parameterNode(name, value));
    return true;
}

bool setNativeAnnotationParameter(qeAbstractNode& node, const char* name, const char* value) {
    if (!node.annotations()) node.setAnnotations(makeAstNode(NodeKind::AnnotationList));
    qeAbstractNode* native = annotationNamed(*node.annotations(), "Native");
    const bool withParameter = name != nullptr && value != nullptr;
    if (native != nullptr) {
        if (withParameter) setAnnotationParameter(*native, name, value);
        return true;
    }
    _KNode<qeAbstractNode> annotation = makeAstNode(NodeKind::Annotation, "Native");
    if (withParameter) annotation->operands.pushBack(parameterNode(name, value));
    node.annotations()->operands.pushBack(annotation);
    return true;
}
