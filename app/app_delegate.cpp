#include "app/app_delegate.h"
