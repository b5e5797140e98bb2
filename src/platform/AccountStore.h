// The mail program's account settings: a tree of keys, each with named
// string and DWORD values, kept in one text file (registry export style).
// Key and value names compare ignoring letter case and keep their spelling.
// The store works in memory: Load before a batch of reads and changes, Save
// after it (atomically, through a temporary file).
//
// File format, one item a line:
//   [Software\Microsoft\Internet Account Manager\Accounts\00000001]
//   "Account Name"="Home"
//   "SMTP Port"=dword:00000019
// Strings escape \ " CR LF and TAB as \\ \" \r \n \t. Blank lines and lines
// starting with ";" are skipped, and so is any line that is not understood.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace os {

// Where the mail program keeps its accounts, one subkey per account.
inline constexpr const char* kMailAccountsRoot = "Software\\Microsoft\\Internet Account Manager\\Accounts";

class AccountStore;

// An open key of a store; it stays valid while the store lives.
class AccountKey {
 public:
  const std::string& Path() const { return path_; }
  bool ValueExists(const std::string& name) const;
  // The text of a string value; nullopt when it is missing or not a string.
  std::optional<std::string> ReadString(const std::string& name) const;
  // A DWORD value; nullopt when it is missing or not a DWORD.
  std::optional<std::uint32_t> ReadDword(const std::string& name) const;
  // Writing replaces a value of that name whatever its type.
  void WriteString(const std::string& name, const std::string& text);
  void WriteDword(const std::string& name, std::uint32_t number);
  // False when there was no such value.
  bool DeleteValue(const std::string& name);

 private:
  friend class AccountStore;
  AccountKey(AccountStore& store, std::string path) : store_(&store), path_(std::move(path)) {}
  AccountStore* store_;
  std::string path_;
};

class AccountStore {
 public:
  explicit AccountStore(std::string filePath) : filePath_(std::move(filePath)) {}
  const std::string& FilePath() const { return filePath_; }

  // Replaces the contents by the file's. A missing file gives an empty store
  // (true); an unreadable one gives an empty store and false.
  bool Load();
  bool Save() const;

  // A key exists when it was stored or when a stored key lies below it.
  bool KeyExists(const std::string& path) const;
  // Names of the direct subkeys, in the order the file first names them.
  std::vector<std::string> SubkeyNames(const std::string& path) const;
  // Opens an existing key; never creates one.
  std::optional<AccountKey> OpenKey(const std::string& path);
  // Opens a key, creating it when absent (mail program side and tests).
  AccountKey CreateKey(const std::string& path);

  // The file text of the current contents.
  std::string Text() const;

 private:
  friend class AccountKey;
  enum class ValueType { kString, kDword };
  struct Value {
    std::string name;
    ValueType type = ValueType::kString;
    std::string text;
    std::uint32_t number = 0;
  };
  struct Key {
    std::string path;
    std::vector<Value> values;
  };

  Key* FindKey(const std::string& path);
  const Key* FindKey(const std::string& path) const;
  const Value* FindValue(const std::string& path, const std::string& name) const;
  Key& KeyFor(const std::string& path);
  void ParseLine(const std::string& line, Key*& current);

  std::string filePath_;
  std::vector<Key> keys_;
};

}  // namespace os
