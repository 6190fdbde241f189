#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The "Name: value" pairs of a descriptor or a manifest, in file order.
// Names are case-sensitive, as a phone reads them.
class AttributeList {
public:
    struct Attribute {
        std::string name;
        std::string value;
    };

    void add(std::string name, std::string value);

    // The value of the first attribute with exactly this name, if any.
    [[nodiscard]] std::optional<std::string_view> value(std::string_view name) const;
    [[nodiscard]] bool has(std::string_view name) const { return value(name).has_value(); }

    [[nodiscard]] const std::vector<Attribute>& entries() const { return m_entries; }
    [[nodiscard]] bool empty() const { return m_entries.empty(); }

private:
    std::vector<Attribute> m_entries;
};
