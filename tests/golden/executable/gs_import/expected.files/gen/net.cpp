#include <stdint.h>
#include <knl.h>


KNLEXPORT kint KI_STDCALL connect(kstring host, kint port){
	
	
	
}

KNLEXPORT void KI_CDECL close(kptr handle){
	
	
	
}

