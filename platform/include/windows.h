/* Everything the platform runtime offers, in one include. */
#pragma once

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
