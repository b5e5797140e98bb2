#include "intake/LineStore.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kFirstBlock = 4 * 1024;
constexpr std::size_t kLargestBlock = 1024 * 1024;
// Blocks from this size on get pages of their own, so freeing them always
// gives the memory back, whatever the allocator keeps for reuse.
constexpr std::size_t kMappedFrom = 256 * 1024;

using line_store_detail::FindLf;

}  // namespace

LineStore::Block::Block(std::size_t capacity) : pages_(nullptr, Unmap{0}), capacity_(capacity) {
  if (capacity < kMappedFrom) {
    heap_ = std::make_unique_for_overwrite<char[]>(capacity);
    data_ = heap_.get();
    return;
  }
  void* pages = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<char*>(pages);
  pages_ = std::unique_ptr<char, Unmap>(data_, Unmap{capacity});
}

void LineStore::Block::Unmap::operator()(char* pages) const { munmap(pages, size); }

void LineStore::Block::Append(std::string_view line) {
  std::memcpy(data_ + used_, line.data(), line.size());
  used_ += line.size();
  data_[used_++] = '\n';
}

LineStore::LineStore() = default;

LineStore::LineStore(std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) push_back(line);
}

LineStore::LineStore(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) push_back(line);
}

LineStore::LineStore(const LineStore& other) {
  for (std::string_view line : other) AppendOne(line);
}

LineStore::LineStore(LineStore&& other) noexcept : blocks_(std::move(other.blocks_)), count_(other.count_) {
  other.blocks_.clear();
  other.count_ = 0;
}

LineStore& LineStore::operator=(const LineStore& other) {
  if (this != &other) *this = LineStore(other);
  return *this;
}

LineStore& LineStore::operator=(LineStore&& other) noexcept {
  if (this != &other) {
    blocks_ = std::move(other.blocks_);
    count_ = other.count_;
    other.blocks_.clear();
    other.count_ = 0;
  }
  return *this;
}

LineStore::~LineStore() = default;

void LineStore::push_back(std::string_view line) {
  for (std::size_t lf; (lf = FindLf(line.data(), line.size())) != line.size(); line.remove_prefix(lf + 1)) {
    const bool crlf = lf > 0 && line[lf - 1] == '\r';
    AppendOne(line.substr(0, crlf ? lf - 1 : lf));
  }
  AppendOne(line);
}

// Blocks double in size up to the largest, so a short message takes one
// small block and a long one few large ones; a line never spans two blocks.
void LineStore::AppendOne(std::string_view line) {
  const std::size_t needed = line.size() + 1;
  if (blocks_.empty() || !blocks_.back().Fits(needed)) {
    const std::size_t next =
        blocks_.empty() ? kFirstBlock : std::min(blocks_.back().Capacity() * 2, kLargestBlock);
    blocks_.emplace_back(std::max(next, needed));
  }
  blocks_.back().Append(line);
  ++count_;
}

void LineStore::clear() {
  std::vector<Block>().swap(blocks_);
  count_ = 0;
}

void LineStore::assign(std::size_t count, std::string_view line) {
  clear();
  for (std::size_t i = 0; i < count; ++i) push_back(line);
}

std::size_t LineStore::BytesHeld() const {
  std::size_t bytes = blocks_.capacity() * sizeof(Block);
  for (const Block& block : blocks_) bytes += block.Capacity();
  return bytes;
}

LineStore::const_iterator LineStore::begin() const { return const_iterator(this, 0, 0); }

LineStore::const_iterator LineStore::end() const { return const_iterator(this, blocks_.size(), 0); }

std::vector<std::string> LineStore::ToVector() const {
  std::vector<std::string> lines;
  lines.reserve(count_);
  for (std::string_view line : *this) lines.emplace_back(line);
  return lines;
}

bool operator==(const LineStore& lines, const std::vector<std::string>& vector) {
  return lines.size() == vector.size() && std::equal(lines.begin(), lines.end(), vector.begin());
}

bool operator==(const LineStore& a, const LineStore& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

LineStore::const_iterator::const_iterator(const LineStore* lines, std::size_t block, std::size_t offset)
    : lines_(lines), block_(block), offset_(offset) {
  Settle();
}

void LineStore::const_iterator::Settle() {
  const std::vector<Block>& blocks = lines_->blocks_;
  while (block_ < blocks.size() && offset_ >= blocks[block_].Used()) {
    ++block_;
    offset_ = 0;
  }
  if (block_ == blocks.size()) {
    data_ = nullptr;
    used_ = 0;
    line_ = {};
    return;
  }
  data_ = blocks[block_].Data();
  used_ = blocks[block_].Used();
  line_ = std::string_view(data_ + offset_, FindLf(data_ + offset_, used_ - offset_));
}
