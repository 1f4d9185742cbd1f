// The built-in types the model's tests compare with: the rows of the
// built-in type table the model needs (void to Field, and Exception), made as
// class objects.
#pragma once

#include <map>
#include <string>

#include "foundation/smart_ptr.h"
#include "model/builtin_types.h"

namespace probe {

// Fills context.builtins() and names every type (Object is "*") in names.
void makeBuiltinFixture(model::BuiltinTypes& types, std::map<std::string, qestl::SmartPtr>& names);

}  // namespace probe
