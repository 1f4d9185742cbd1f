// A second, independent reading of the catalogue: the slot rule applied to the
// member texts without the object model, in the registry's order, so that
// tests can compare slots and descriptors with the numbers the tables give.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "builtins/catalogue_class.h"
#include "builtins/member_text_print.h"

namespace catalogue_test {

inline std::string qualifiedName(const CatalogueClass& c) {
    return c.owner != nullptr ? std::string(c.owner) + "." + c.name : std::string(c.name);
}

// One expected listing line: the class, 'I' or 'S', the slot, the line.
struct SlotRow {
    const char* cls;
    char table;
    size_t slot;
    std::string line;
};

struct Slot {
    const CatalogueClass* owner;  // the class whose text declared the method
    const MemberMethod* method;
};

struct ClassSlots {
    std::vector<Slot> instance;
    std::vector<Slot> statics;
};

inline std::string describe(const CatalogueClass& c, const MemberMethod& m) {
    return member_text_test::methodText(catalogueMembers(c), m);
}

// Runs every class through the slot rule in registration order (String first,
// then rows 1 to 61); a class with a base starts from the base's tables.
// Refused registrations (a duplicate, an override with another result type or
// a wider thrown set) are collected in `refused`.
class SlotModel {
public:
    explicit SlotModel(std::initializer_list<std::span<const CatalogueClass>> lists) {
        std::vector<const CatalogueClass*> classes;
        for (auto list : lists) {
            for (const CatalogueClass& c : list) classes.push_back(&c);
        }
        std::stable_sort(classes.begin(), classes.end(),
                         [](const CatalogueClass* a, const CatalogueClass* b) { return a->row < b->row; });
        for (const CatalogueClass* c : classes) declare(*c);
    }

    std::vector<std::string> refused;

    const ClassSlots& slots(const std::string& qualified) const { return classes_.at(qualified); }

    // "I40" / "S0" for the method at `position` of the class's own text.
    std::string slotOf(const std::string& qualified, size_t position) const {
        const ClassSlots& cs = classes_.at(qualified);
        const CatalogueClass* entry = entries_.at(qualified);
        const std::span<const MemberMethod> methods = catalogueMembers(*entry).methods;
        if (position >= methods.size()) return "no method " + std::to_string(position);
        const MemberMethod* m = &methods[position];
        for (size_t i = 0; i < cs.instance.size(); ++i) {
            if (cs.instance[i].method == m) return "I" + std::to_string(i);
        }
        for (size_t i = 0; i < cs.statics.size(); ++i) {
            if (cs.statics[i].method == m) return "S" + std::to_string(i);
        }
        return "none";
    }

    // The descriptor the runtime finds the entry by: the declaring class's id.
    static uint64_t descriptor(const Slot& s, size_t slot) {
        uint64_t kind = s.method->isStatic ? 26 : 16;
        return (static_cast<uint64_t>(s.owner->builtinId) << 48) | (kind << 32) | slot;
    }

    // The listing line of a slot: "I5 long available(bool bWait) desc=0x...".
    std::string line(const std::string& qualified, char table, size_t slot) const {
        const ClassSlots& cs = classes_.at(qualified);
        const Slot& s = table == 'I' ? cs.instance.at(slot) : cs.statics.at(slot);
        char desc[32];
        std::snprintf(desc, sizeof desc, "0x%016llX", static_cast<unsigned long long>(descriptor(s, slot)));
        return std::string(1, table) + std::to_string(slot) + " " + describe(*s.owner, *s.method) +
               " desc=" + desc;
    }

private:
    static bool sameParameters(const MemberText& a, const MemberMethod& ma, const MemberText& b,
                               const MemberMethod& mb) {
        if (ma.parameterCount != mb.parameterCount) return false;
        auto pa = a.parametersOf(ma);
        auto pb = b.parametersOf(mb);
        for (size_t i = 0; i < pa.size(); ++i) {
            // Array types compare by element, never by object.
            if (pa[i].type.name != pb[i].type.name || pa[i].type.arrayDepth != pb[i].type.arrayDepth) {
                return false;
            }
        }
        return true;
    }

    void declare(const CatalogueClass& c) {
        std::string name = qualifiedName(c);
        ClassSlots slots;
        if (c.base != nullptr) slots = classes_.at(c.base);
        const MemberText& text = catalogueMembers(c);
        for (const MemberMethod& m : text.methods) {
            std::vector<Slot>& table = m.isStatic ? slots.statics : slots.instance;
            bool placed = false;
            for (Slot& s : table) {
                const MemberText& other = catalogueMembers(*s.owner);
                if (s.method->name != m.name || !sameParameters(text, m, other, *s.method)) continue;
                placed = true;
                if (s.owner == &c || s.method->isStatic) {
                    refused.push_back(name + "::" + std::string(m.name) + ": Error 141");
                } else if (s.method->hasResult != m.hasResult || !(s.method->result == m.result)) {
                    refused.push_back(name + "::" + std::string(m.name) + ": Error 155");
                } else if (!thrownWithin(text.thrownOf(m), other.thrownOf(*s.method))) {
                    refused.push_back(name + "::" + std::string(m.name) + ": Error 159");
                } else {
                    s = Slot{&c, &m};
                }
                break;
            }
            if (!placed) table.push_back(Slot{&c, &m});
        }
        classes_[name] = std::move(slots);
        entries_[name] = &c;
    }

    static bool thrownWithin(std::span<const std::string_view> mine, std::span<const std::string_view> theirs) {
        for (std::string_view t : mine) {
            if (std::find(theirs.begin(), theirs.end(), t) == theirs.end()) return false;
        }
        return true;
    }

    std::map<std::string, ClassSlots> classes_;
    std::map<std::string, const CatalogueClass*> entries_;
};

}  // namespace catalogue_test
