// File errors of the cleaning run; the message names the file, e.g. "Cannot open file PREFS.JS".
#pragma once

#include "settings/exception.h"

class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

class EFCreateError : public Exception {
public:
    using Exception::Exception;
};
