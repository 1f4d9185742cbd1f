#include <stdint.h>
#include <knl.h>


tool