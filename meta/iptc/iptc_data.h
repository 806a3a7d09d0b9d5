#pragma once
// The IPTC container of an APP13 (Photoshop 3.0) block.
// (Minimal for now: records and the writer come with the IPTC issue.)

#include <string>

class TimgData;

class TIPTCdata {
public:
    explicit TIPTCdata(TimgData* parent);
    virtual ~TIPTCdata();

    TimgData* Parent;  // not owned

    virtual void Clear();
    bool HasData() const;
    // Builds a minimal APP13 block and has the parent write `target` from `source`.
    void WriteFile(const std::string& target, const std::string& source);
};
