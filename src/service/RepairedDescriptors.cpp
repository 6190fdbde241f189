#include "RepairedDescriptors.h"

#include "DescriptorRepair.h"

#include <algorithm>
#include <chrono>

namespace {

// Stands for the report address while a repair is made for every download
// from one address; a control character, so no descriptor's own text holds it.
constexpr std::string_view kAddressMark = "\x01";

// The longest report address: the server's address, the prefix, the run and
// a number of up to 20 digits.
std::size_t longestReportAddress(const std::string& origin)
{
    return origin.size() + ReportAddresses::kPathPrefix.size() + 8 + 1 + 20;
}

bool holdsMark(const GameRecord& record)
{
    const auto& attributes = record.reading.asRepaired.attributes;
    return std::any_of(attributes.begin(), attributes.end(), [](const AttributeList::Attribute& attribute) {
        return attribute.name.find(kAddressMark) != std::string::npos ||
            attribute.value.find(kAddressMark) != std::string::npos;
    });
}

std::string noteOf(const std::vector<std::string>& changes)
{
    if (changes.empty())
        return {};
    std::string note = " (repaired: ";
    for (std::size_t i = 0; i < changes.size(); ++i)
        note.append(i == 0 ? "" : ", ").append(changes[i]);
    return note + ")";
}

std::vector<std::string> cutAtMarks(std::string_view text)
{
    std::vector<std::string> pieces;
    for (std::size_t mark = text.find(kAddressMark); mark != std::string_view::npos; mark = text.find(kAddressMark)) {
        pieces.emplace_back(text.substr(0, mark));
        text.remove_prefix(mark + kAddressMark.size());
    }
    pieces.emplace_back(text);
    return pieces;
}

} // namespace

const RepairedDescriptors::ForOrigin* RepairedDescriptors::forOrigin(const std::shared_ptr<const GameRecord>& record,
                                                                    const std::string& origin)
{
    const auto same = [&](const ForOrigin& kept) { return kept.record == record && kept.origin == origin; };
    if (const auto found = std::find_if(m_kept.begin(), m_kept.end(), same); found != m_kept.end()) {
        std::rotate(m_kept.begin(), found, found + 1);
        return &m_kept.front();
    }
    // An address so long that the report address may pass what a phone
    // takes, or a descriptor that holds the mark itself, is made for each
    // download alone.
    if (longestReportAddress(origin) > kMaxReportAddressBytes || holdsMark(*record))
        return nullptr;
    std::optional<RepairedDescriptor> repaired = repairRecord(*record, origin, kAddressMark);
    if (!repaired)
        return nullptr;
    if (m_kept.size() == kMaxKept)
        m_kept.pop_back();
    m_kept.insert(m_kept.begin(), ForOrigin{record, origin, cutAtMarks(repaired->text), noteOf(repaired->changes),
                                            std::move(repaired->name), std::move(repaired->version),
                                            std::move(repaired->archivePath)});
    return &m_kept.front();
}

std::optional<RepairedDescriptors::Served> RepairedDescriptors::serve(const std::shared_ptr<const GameRecord>& record,
                                                                      const std::string& origin,
                                                                      std::string_view peer)
{
    ReportAddresses::Issued issued = m_reports.issue();
    const std::string address = origin + issued.path;
    Served served;
    if (const ForOrigin* kept = forOrigin(record, origin)) {
        std::size_t size = 0;
        for (const std::string& piece : kept->pieces)
            size += piece.size() + address.size();
        served.text.reserve(size);
        for (std::size_t i = 0; i < kept->pieces.size(); ++i)
            served.text.append(i == 0 ? "" : address).append(kept->pieces[i]);
        served.note = kept->note;
        served.name = kept->name;
        served.version = kept->version;
        served.archivePath = kept->archivePath;
    } else {
        std::optional<RepairedDescriptor> repaired = repairRecord(*record, origin, address);
        if (!repaired)
            return std::nullopt;
        // Kept as the one used last, for the views to point into.
        m_kept.insert(m_kept.begin(), ForOrigin{record, {}, {}, noteOf(repaired->changes), std::move(repaired->name),
                                                std::move(repaired->version), std::move(repaired->archivePath)});
        if (m_kept.size() > kMaxKept)
            m_kept.pop_back();
        served.text = std::move(repaired->text);
        const ForOrigin& alone = m_kept.front();
        served.note = alone.note;
        served.name = alone.name;
        served.version = alone.version;
        served.archivePath = alone.archivePath;
    }
    m_reports.remember(issued.number, {record, std::string(served.name), std::string(served.version),
                                       std::string(peer), std::chrono::steady_clock::now()});
    served.reportPath = std::move(issued.path);
    return served;
}
