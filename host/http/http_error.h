// What the http layer throws, in one line: "port 8080: Address already in use".
#ifndef TMHOST_HTTP_ERROR_H
#define TMHOST_HTTP_ERROR_H

#include <stdexcept>

namespace tmhost {

class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tmhost

#endif
