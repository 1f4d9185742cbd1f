#include <stdint.h>
#include <knl.h>


kint g();