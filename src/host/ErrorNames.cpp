// Names and descriptions of errno values, and the socket-error texts.
//
// The C library already holds the table of symbolic names and English
// descriptions (strerrorname_np, strerrordesc_np), so errorName() reads it
// there instead of keeping a copy that could drift. The socket table lists
// the errno values that the socket layer reports, the counterparts of the
// WSAE family.
#include "host/Faults.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace arxmod {

namespace {

constexpr std::array kSocketErrors{
    EINTR,        EBADF,       EACCES,          EFAULT,          EINVAL,       EMFILE,
    EWOULDBLOCK,  EINPROGRESS, EALREADY,        ENOTSOCK,        EDESTADDRREQ, EMSGSIZE,
    EPROTOTYPE,   ENOPROTOOPT, EPROTONOSUPPORT, ESOCKTNOSUPPORT, EOPNOTSUPP,   EPFNOSUPPORT,
    EAFNOSUPPORT, EADDRINUSE,  EADDRNOTAVAIL,   ENETDOWN,        ENETUNREACH,  ENETRESET,
    ECONNABORTED, ECONNRESET,  ENOBUFS,         EISCONN,         ENOTCONN,     ESHUTDOWN,
    ETOOMANYREFS, ETIMEDOUT,   ECONNREFUSED,    ELOOP,           ENAMETOOLONG, EHOSTDOWN,
    EHOSTUNREACH, ENOTEMPTY,   EUSERS,          EDQUOT,          ESTALE,       EREMOTE,
};

} // namespace

std::string errnoDescription(int code) {
  const char *description = strerrordesc_np(code);
  return description ? description : "Unknown error " + std::to_string(code);
}

std::string errorName(int code) {
  const char *name = strerrorname_np(code);
  const char *description = strerrordesc_np(code);
  if (!name || !description)
    return "WIN32 error code not found: " + std::to_string(code);
  return std::string(name) + ": " + description;
}

std::string socketErrorText(int code) {
  if (std::find(kSocketErrors.begin(), kSocketErrors.end(), code) == kSocketErrors.end())
    return "Unknown Error Code: " + std::to_string(code);
  return "WSA: " + errnoDescription(code);
}

W32Xmsg::W32Xmsg(int errnoValue) : KSXmsg(errorName(errnoValue)), code_(errnoValue) {}

} // namespace arxmod
