#include <stdint.h>
#include <knl.h>


KNLEXPORT kbool KI_CDECL ready(){
	
	
	
}

