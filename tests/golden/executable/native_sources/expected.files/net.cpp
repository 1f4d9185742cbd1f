#include <stdint.h>
#include <knl.h>


int f(int a);