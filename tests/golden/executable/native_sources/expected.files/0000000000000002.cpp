#include <stdint.h>
#include <knl.h>


unnamed