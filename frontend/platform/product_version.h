// The front end's version, shared by its version resource and its code.
#pragma once

#define KELVRA_FRONTEND_VERSION_NUMBERS 2, 0, 0, 0
#define KELVRA_FRONTEND_VERSION_TEXT "2.0.0.0"
