#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wv {

struct TRNSize {
    double width = 0;
    double height = 0;
};

// The application's icon as PNG bytes, with the SHA-1 of those bytes and its size in points.
class TRNIcon {
  public:
    TRNIcon(std::vector<uint8_t> data, std::string dataHash, TRNSize size, bool prerendered);
    TRNIcon(std::vector<uint8_t> data, TRNSize size, bool prerendered);
    TRNIcon(std::vector<uint8_t> data, TRNSize size);

    // An icon from a whole PNG file's bytes, sized from its header; none when the bytes are no
    // PNG or end before its last chunk.
    static std::shared_ptr<TRNIcon> initWithPNG(std::vector<uint8_t> png);

    const std::vector<uint8_t>& data() const { return data_; }
    const std::string& dataHash() const { return dataHash_; }
    TRNSize size() const { return size_; }
    bool prerendered() const { return prerendered_; }
    double surfaceArea() const { return size_.width * size_.height; }
    bool isWithinMaxSurfaceArea() const { return surfaceArea() <= 1048576.0; }
    bool largerThanSize(TRNSize size) const { return surfaceArea() > size.width * size.height; }

  private:
    std::vector<uint8_t> data_;
    std::string dataHash_;
    TRNSize size_;
    bool prerendered_;
};

}  // namespace wv
