// The class line and member lines of the probes that show class objects
// (builtins, declare).
#pragma once

class CompileContext;
namespace model {
class IRObject;
class ClassObject;
}  // namespace model

namespace probe {

// "class NAME id=... kind=... ... global=NAME".
void printClassLine(CompileContext& context, const model::IRObject& c);
// One line per field, nested class and method, tables in their order.
void printMembers(const model::ClassObject& c);

}  // namespace probe
