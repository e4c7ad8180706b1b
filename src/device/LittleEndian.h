#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace orbisight {

// An integer stored as little-endian bytes with byte alignment: the members
// of the camera's parameter blocks sit at fixed offsets, some of them odd,
// and the blocks travel as raw bytes. Reading and writing go byte by byte,
// so they are correct at any address and on any host byte order.
template <typename T>
class LittleEndian {
    static_assert(std::is_integral_v<T>);

  public:
    T Get() const {
        using U = std::make_unsigned_t<T>;
        U value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            value = static_cast<U>(value | (static_cast<U>(bytes_[i]) << (8 * i)));
        }
        return static_cast<T>(value);
    }
    void Set(T value) {
        using U = std::make_unsigned_t<T>;
        U bits = static_cast<U>(value);
        for (size_t i = 0; i < sizeof(T); ++i) {
            bytes_[i] = static_cast<uint8_t>(bits >> (8 * i));
        }
    }
    operator T() const { return Get(); }
    LittleEndian& operator=(T value) {
        Set(value);
        return *this;
    }

  private:
    uint8_t bytes_[sizeof(T)];
};

using LeInt32 = LittleEndian<int32_t>;
using LeUInt32 = LittleEndian<uint32_t>;
using LeUInt16 = LittleEndian<uint16_t>;

static_assert(sizeof(LeInt32) == 4 && alignof(LeInt32) == 1);
static_assert(sizeof(LeUInt16) == 2 && alignof(LeUInt16) == 1);
static_assert(std::is_trivially_copyable_v<LeInt32>);

}  // namespace orbisight
