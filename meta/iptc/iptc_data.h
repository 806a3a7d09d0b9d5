#pragma once
// The IPTC container of one JPEG file: the IPTC-IIM datasets of its APP13
// ("Photoshop 3.0") block as a list of tag entries, looked up and edited by
// dataset name, parsed from a block and built back into one.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "meta/exif/tag_entry.h"
#include "meta/iptc/iptc_owner.h"

class TIPTCdata {
public:
    explicit TIPTCdata(IIptcOwner* parent);
    virtual ~TIPTCdata();
    TIPTCdata(const TIPTCdata&) = delete;
    TIPTCdata& operator=(const TIPTCdata&) = delete;

    IIptcOwner* Parent;  // the container that created this one; not owned

    // --- The entry list ---
    int32_t TagCount() const { return FTagCount; }
    // Shrinks the list to `count` entries (clamped to 0..TagCount); it never
    // grows it, since spare slots hold no tag.
    void SetTagCount(int32_t count);
    int32_t TagCapacity() const { return static_cast<int32_t>(FTagList.size()); }
    // A copy of the entry at `index`; a blank entry outside 0..TagCount-1.
    TTagEntry GetEntry(int32_t index) const;
    // Appends a copy unless its dataset number is 0. Returns TagCount - 1.
    int32_t AddEntry(const TTagEntry& entry);
    // First row of IPTCTable whose name matches (ASCII case folded), or -1.
    static int32_t TableIndexByName(const std::string& name);

    // Overridable; the operations below reach each other through these, so a
    // derived container sees every lookup and every edit.
    virtual int32_t LookupTag(const std::string& name) const;
    virtual void RemoveTag(const std::string& name);
    virtual int32_t SetTagValue(const std::string& name, const std::string& value);
    virtual int32_t AddOrAppendTag(const std::string& name, const std::string& value);
    virtual int32_t SetTagByName(const std::string& name, const std::string& value);
    virtual std::string GetTagValue(const std::string& name, const std::string& defaultValue) const;
    // Has the parent scan the file and parses its APP13 block. The scan frees
    // the container the parent held, so when that was this object the datasets
    // are in the parent's new container (HeldIptc) and this pointer is gone.
    virtual bool ReadFile(const std::string& fileName);

    // Empties the list; the slots stay allocated, each reset to a blank entry.
    void Clear();
    bool HasData() const { return FTagCount > 0; }

    // Replaces the list by the datasets in an APP13 segment's bytes (length
    // field and payload; anything holding the signature will do): the records
    // of its 0x0404 resource, read up to a byte that is no tag marker, with
    // extended lengths (IPTC IIM 4.2, 1.5.2). Never raises.
    void ParseSegment(const std::string& bytes);

    // --- Writing ---
    // One IPTC-IIM record: 1C, record, dataset, length, value. The length
    // takes 2 bytes up to 32767 and the extended form 80 04 plus 4 bytes
    // beyond (IPTC IIM 4.2, 1.5.2). "IPTC data too large" for a value that
    // could not fit one APP13 segment even alone (over 65479 bytes).
    static std::string EncodeRecord(uint16_t recordNo, uint16_t datasetNo, const std::string& value);
    // One record per comma-separated piece of `value`; none for a blank value.
    static std::string EncodeMultiValue(uint16_t recordNo, uint16_t datasetNo, const std::string& value);
    // Everything after FF ED and the segment length, for the current list.
    // "IPTC data too large" when it would not fit one APP13 segment.
    std::string BuildSegmentPayload() const;
    // Has the parent write `target` from `source` (the target itself when
    // empty) with an APP13 block built from the list.
    void WriteFile(const std::string& target, const std::string& source);

private:
    void IndexNames();  // rebuilds FFirstEntry from the list

    int32_t FTagCount = 0;
    std::vector<TTagEntry> FTagList;  // size() is the capacity; slots past FTagCount are blank
    // Folded name -> index of the first entry of that name. A parse looks a
    // name up for every repeated dataset; a scan of the list each time would
    // make it quadratic.
    std::unordered_map<std::string, int32_t> FFirstEntry;
};
