// The declarations every compilation starts from: the built-in types and the
// runtime-library catalogue.
#pragma once

class CompileContext;

// Declares every built-in type and runtime-library class into the context;
// called once per compilation before any source is parsed.
void registerBuiltinClasses(CompileContext& context);
