// The class, array, instance, heap and native-import commands of
// `korvo-probe model`.
#pragma once

#include <map>
#include <string>

#include "model/native_import.h"
#include "model_script_access.h"
#include "model_test_context.h"

namespace probe {

class ClassCommands {
public:
    ClassCommands(ScriptAccess& script, TestModelContext& context, std::map<std::string, qestl::SmartPtr>& handles);
    // The import table's modules go with it; arrays break their "length"
    // cycles.
    void teardown();

    // True when the line is one of these commands; silent ones leave out
    // empty.
    bool run(const Words& w, std::string& out, bool& silent);
    // "T[]": a new array type over T, for each use.
    qestl::SmartPtr makeArrayOf(const std::string& element);

private:
    bool silentCommand(const Words& w);
    std::string tableNames(const model::Container& table);
    model::ClassObject& classNamed(const std::string& name);
    model::ImportModule& module(const std::string& name);
    std::string lookup(const Words& w);
    std::string native(const Words& w);
    std::string dump(const std::string& name);
    std::string textAt(uint64_t address, uint64_t length);
    uint64_t layoutAddress(const std::string& name);

    ScriptAccess& script_;
    TestModelContext& context_;
    std::map<std::string, qestl::SmartPtr>& handles_;
    qestl::SmartPtr imports_;
    std::map<std::string, model::ImportModule*> modules_;
    std::map<std::string, uint64_t> modulePlaces_;
};

}  // namespace probe
