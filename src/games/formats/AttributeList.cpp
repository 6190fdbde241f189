#include "AttributeList.h"

#include <algorithm>
#include <utility>

void AttributeList::add(std::string name, std::string value)
{
    m_entries.push_back({std::move(name), std::move(value)});
}

std::optional<std::string_view> AttributeList::value(std::string_view name) const
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [name](const Attribute& attribute) { return attribute.name == name; });
    if (found == m_entries.end())
        return std::nullopt;
    return found->value;
}
