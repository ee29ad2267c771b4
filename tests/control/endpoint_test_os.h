// What the endpoint's shared tests need from each system.
#pragma once

#include <string>

namespace tamberline {

// A fresh endpoint for one test, nobody else's. POSIX: a socket in a folder yet to be made, inside a
// temporary folder removed with this; Windows: a pipe name of this process.
class TTestEndpoint {
  public:
    TTestEndpoint();
    ~TTestEndpoint();
    TTestEndpoint(const TTestEndpoint&) = delete;
    TTestEndpoint& operator=(const TTestEndpoint&) = delete;
    const std::string& Name() const { return name_; }

  private:
    std::string root_;
    std::string name_;
};

}  // namespace tamberline
