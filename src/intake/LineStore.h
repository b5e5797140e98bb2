// Lines of message text kept compactly: the bytes of all lines one after the
// other, each ended by LF, in a few large blocks. A message of millions of
// short lines costs little more than its own size, and the large blocks go
// back to the system as soon as the lines are dropped.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LineStore {
 public:
  class const_iterator;
  using iterator = const_iterator;
  using value_type = std::string_view;

  LineStore();
  LineStore(std::initializer_list<std::string_view> lines);
  LineStore(const std::vector<std::string>& lines);  // converts like a vector of lines
  LineStore(const LineStore& other);
  LineStore(LineStore&& other) noexcept;
  LineStore& operator=(const LineStore& other);
  LineStore& operator=(LineStore&& other) noexcept;
  ~LineStore();

  // Appends one line. A line never holds LF: text with LF (or CR LF) in it
  // is stored as the lines between them, as a reader of the text sees it.
  void push_back(std::string_view line);
  void clear();  // drops every line and gives the memory back
  // Replaces the lines by `count` copies of one line.
  void assign(std::size_t count, std::string_view line);

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // Bytes held for the lines, their line ends included.
  std::size_t BytesHeld() const;

  const_iterator begin() const;
  const_iterator end() const;

  std::vector<std::string> ToVector() const;
  friend bool operator==(const LineStore& lines, const std::vector<std::string>& vector);
  friend bool operator==(const LineStore& a, const LineStore& b);

 private:
  // One block of line text: memory from the heap while small, pages of its
  // own (returned to the system when freed) once large.
  class Block {
   public:
    explicit Block(std::size_t capacity);

    std::size_t Capacity() const { return capacity_; }
    std::size_t Used() const { return used_; }
    const char* Data() const { return data_; }
    bool Fits(std::size_t bytes) const { return capacity_ - used_ >= bytes; }
    void Append(std::string_view line);  // the line and its LF; the caller checked Fits

   private:
    struct Unmap {
      std::size_t size;
      void operator()(char* pages) const;
    };

    std::unique_ptr<char[]> heap_;
    std::unique_ptr<char, Unmap> pages_;
    char* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
  };

  void AppendOne(std::string_view line);

  std::vector<Block> blocks_;
  std::size_t count_ = 0;
};

namespace line_store_detail {

// Where the first LF in text[0, size) is, or `size`. Eight bytes at a time:
// message lines are mostly short, where a call to memchr per line costs more
// than the search.
inline std::size_t FindLf(const char* text, std::size_t size) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  constexpr std::uint64_t kLfs = 0x0A0A0A0A0A0A0A0AULL;
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, text + i, 8);
      const std::uint64_t x = word ^ kLfs;  // a zero byte where an LF is
      const std::uint64_t found = (x - kOnes) & ~x & kHighs;
      if (found != 0) return i + static_cast<std::size_t>(std::countr_zero(found) / 8);
    }
  }
  for (; i < size; ++i)
    if (text[i] == '\n') return i;
  return size;
}

}  // namespace line_store_detail

// Reads the lines in order; each is a view into the block that holds it,
// valid until the lines are changed.
class LineStore::const_iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = std::string_view;
  using difference_type = std::ptrdiff_t;
  using pointer = const std::string_view*;
  using reference = const std::string_view&;

  const_iterator() = default;
  reference operator*() const { return line_; }
  pointer operator->() const { return &line_; }
  const_iterator& operator++() {
    offset_ += line_.size() + 1;
    if (offset_ < used_) {
      line_ = std::string_view(data_ + offset_, line_store_detail::FindLf(data_ + offset_, used_ - offset_));
    } else {
      ++block_;
      offset_ = 0;
      Settle();
    }
    return *this;
  }
  const_iterator operator++(int) {
    const_iterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const const_iterator& other) const {
    return block_ == other.block_ && offset_ == other.offset_;
  }

 private:
  friend class LineStore;
  const_iterator(const LineStore* lines, std::size_t block, std::size_t offset);
  void Settle();  // moves past used-up blocks and reads the line there

  const LineStore* lines_ = nullptr;
  std::size_t block_ = 0;
  std::size_t offset_ = 0;
  const char* data_ = nullptr;  // of the current block
  std::size_t used_ = 0;
  std::string_view line_;
};
