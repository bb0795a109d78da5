/* Everything the platform runtime offers, in one include. */
#ifndef MORVANE_WINDOWS_H
#define MORVANE_WINDOWS_H

#include "wintypes.h"
#include "winerror.h"
#include "winbase.h"
#include "winreg.h"
#include "unknwn.h"
#include "objidl.h"
#include "objbase.h"
#include "oaidl.h"
#include "oatypelib.h"
#include "oleauto.h"

#endif
