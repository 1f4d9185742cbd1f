#include "options/compile_options.h"

CompileOptions::CompileOptions() : processorName("x86_64") {}
