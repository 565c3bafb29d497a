/* The MinGW start-up code of a DLL calls the C runtime's thread-storage callback through this
 * pointer; defining it here keeps that runtime part, and with it the image's TLS directory,
 * out of wave.dll. The plug-in has no thread-local data; the start and end of a host's thread
 * reach only DllMain, which does nothing then, on every Windows version alike. */
#include <windows.h>

const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = NULL;
