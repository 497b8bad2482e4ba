#include "packer/name_rules.h"

#include <cstdint>
#include <cstring>

#include "archive/entry_name.h"

char ForbiddenNameCharacter(const std::string& name, bool separatorsToo) {
  for (size_t i = 0; i < name.size(); i++) {
    uint8_t byte = static_cast<uint8_t>(name[i]);
    if (IsCp932LeadByte(byte)) {
      i++;  // its second byte may be 0x5C or 0x7C without being one
      continue;
    }
    if (byte != 0 && std::strchr("<>\"|?*", byte) != nullptr) return static_cast<char>(byte);
    if (separatorsToo && (byte == '\\' || byte == '/')) return static_cast<char>(byte);
  }
  return 0;
}

std::string WindowsNameKey(const std::string& name) {
  std::string key = name;
  for (size_t i = 0; i < key.size(); i++) {
    uint8_t byte = static_cast<uint8_t>(key[i]);
    if (IsCp932LeadByte(byte)) {
      i++;
    } else if (byte >= 'a' && byte <= 'z') {
      key[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return key;
}
