#pragma once
// An XMP packet read as XML (expat, namespaces on) and as RDF: the properties
// of its rdf:Description elements, each named by namespace URI and local name,
// with a simple, struct or array value. Nothing is searched as text, so a
// property name inside another property's value is only text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A standard XMP packet in a JPEG file stands in one APP1 segment, whose
// 16-bit length field caps it; anything larger is not one we read.
inline constexpr size_t kMaxXmpPacket = 0xFFFF;
// Real packets nest about a dozen elements deep (x:xmpmeta, rdf:RDF,
// rdf:Description, property, rdf:Seq, rdf:li, struct fields); the cap bounds
// the recursion of every walk over the tree.
inline constexpr int kMaxXmpDepth = 64;

struct tXmpName {
    std::string Ns;      // the namespace URI; empty for none
    std::string Local;   // the local name
    std::string Prefix;  // as the packet writes it; empty for the default namespace

    // prefix:local, or local alone.
    std::string Qualified() const { return Prefix.empty() ? Local : Prefix + ":" + Local; }
    bool Is(std::string_view ns, std::string_view local) const { return Ns == ns && Local == local; }
};

struct tXmpProperty;

struct tXmpValue {
    enum class tKind { Simple, Struct, Array };
    tKind Kind = tKind::Simple;
    // A simple value's text; of a struct or array, text that stood beside its
    // fields or items (none in well-formed RDF).
    std::string Text;
    std::vector<tXmpProperty> Fields;  // of a struct, in packet order
    std::vector<tXmpValue> Items;      // of an array (rdf:Seq, rdf:Bag, rdf:Alt), in order
};

struct tXmpProperty {
    tXmpName Name;
    tXmpValue Value;
};

inline constexpr std::string_view kRdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

// The top-level properties of every rdf:Description of `packet`, in packet
// order. Raises EMetaError, with a message for the user, for a packet that is
// not well-formed XML, is larger than kMaxXmpPacket, nests deeper than
// kMaxXmpDepth or has a document type declaration (which XMP never has and
// entity bombs need).
std::vector<tXmpProperty> ReadXmp(std::string_view packet);
