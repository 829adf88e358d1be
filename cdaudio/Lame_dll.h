// The file encoder's binding to the LAME encoder interface: the same five functions as the
// ripper's coder.
#pragma once

#include "MP3Coder_Dll.h"
