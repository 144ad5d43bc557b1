#include "platform/resources.h"

#include <map>
#include <utility>

namespace platform::resources {
namespace {

struct Entry {
    const unsigned char* data;
    size_t size;
};

// Registered from static initialisers of other files: built on first use, never destroyed.
std::map<std::pair<Type, int>, Entry>& Table() {
    static auto* table = new std::map<std::pair<Type, int>, Entry>;
    return *table;
}

}  // namespace

void Register(Type type, int id, const unsigned char* data, size_t size) {
    Table()[{type, id}] = Entry{data, size};
}

const unsigned char* Find(Type type, int id, size_t* size) {
    auto it = Table().find({type, id});
    if (it == Table().end()) return nullptr;
    if (size) *size = it->second.size;
    return it->second.data;
}

}  // namespace platform::resources
