// Writes an unsigned security catalogue (.cat) that lists files by their SHA-1 hashes, as
// Windows keeps them for drivers; osslsigncode then signs it. A build-machine tool of the tests:
// no tool on the build machine makes catalogues.
//
// Usage: make_catalog OUTPUT.cat DIGEST...   (each DIGEST a file holding a raw 20-byte SHA-1)
//
// The catalogue is a PKCS #7 SignedData whose content is a certificate trust list (szOID_CTL)
// used as a catalogue list: one entry per file, tagged with the hash in upper-case hex (UTF-16,
// with its terminator), carrying the member information and the indirect data with the digest.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes tlv(uint8_t tag, const Bytes& content) {
    Bytes out(1, tag);
    const size_t n = content.size();
    if (n < 0x80) {
        out.push_back(uint8_t(n));
    } else {
        Bytes length;
        for (size_t v = n; v; v >>= 8) length.insert(length.begin(), uint8_t(v));
        out.push_back(uint8_t(0x80 | length.size()));
        out.insert(out.end(), length.begin(), length.end());
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes sequence(std::initializer_list<Bytes> parts) { return tlv(0x30, join(parts)); }
Bytes set(std::initializer_list<Bytes> parts) { return tlv(0x31, join(parts)); }
Bytes octets(const Bytes& b) { return tlv(0x04, b); }
Bytes null() { return Bytes{0x05, 0x00}; }
Bytes integer(uint32_t v) {
    Bytes b;
    do {
        b.insert(b.begin(), uint8_t(v));
        v >>= 8;
    } while (v);
    if (b[0] & 0x80) b.insert(b.begin(), 0);
    return tlv(0x02, b);
}
Bytes utf16be(const char* ascii) {
    Bytes b;
    for (const char* c = ascii; *c; ++c) {
        b.push_back(0);
        b.push_back(uint8_t(*c));
    }
    return b;
}
Bytes bmp(const char* ascii) { return tlv(0x1E, utf16be(ascii)); }

Bytes oid(const char* dotted) {
    std::vector<uint32_t> arcs;
    for (const char* p = dotted; *p;) {
        arcs.push_back(uint32_t(strtoul(p, const_cast<char**>(&p), 10)));
        if (*p == '.') ++p;
    }
    Bytes b(1, uint8_t(arcs[0] * 40 + arcs[1]));
    for (size_t i = 2; i < arcs.size(); ++i) {
        Bytes arc;
        uint32_t v = arcs[i];
        arc.push_back(uint8_t(v & 0x7F));
        while (v >>= 7) arc.insert(arc.begin(), uint8_t(0x80 | (v & 0x7F)));
        b.insert(b.end(), arc.begin(), arc.end());
    }
    return tlv(0x06, b);
}

Bytes member(const Bytes& digest) {
    // The tag: the hash in upper-case hex, UTF-16LE with its terminator.
    Bytes tag;
    static const char hex[] = "0123456789ABCDEF";
    for (uint8_t byte : digest) {
        tag.push_back(uint8_t(hex[byte >> 4]));
        tag.push_back(0);
        tag.push_back(uint8_t(hex[byte & 15]));
        tag.push_back(0);
    }
    tag.push_back(0);
    tag.push_back(0);
    const Bytes obsolete = tlv(0xA2, tlv(0x80, utf16be("<<<Obsolete>>>")));  // SpcLink: file, unicode
    const Bytes indirectData = sequence({
        sequence({oid("1.3.6.1.4.1.311.2.1.25"), obsolete}),                    // SPC_CAB_DATA_OBJID
        sequence({sequence({oid("1.3.14.3.2.26"), null()}), octets(digest)}),  // SHA-1
    });
    const Bytes memberInfo = sequence({bmp("{C689AAB8-8E78-11D0-8C47-00C04FC295EE}"), integer(512)});
    return sequence({
        octets(tag),
        set({
            sequence({oid("1.3.6.1.4.1.311.12.2.2"), set({memberInfo})}),  // CAT_MEMBERINFO_OBJID
            sequence({oid("1.3.6.1.4.1.311.2.1.4"), set({indirectData})}),  // SPC_INDIRECT_DATA_OBJID
        }),
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: make_catalog OUTPUT.cat DIGEST...\n");
        return 2;
    }
    Bytes members;
    for (int i = 2; i < argc; ++i) {
        FILE* f = fopen(argv[i], "rb");
        Bytes digest(21);
        const size_t got = f ? fread(digest.data(), 1, digest.size(), f) : 0;
        if (f) fclose(f);
        if (got != 20) {
            fprintf(stderr, "make_catalog: %s holds no 20-byte SHA-1\n", argv[i]);
            return 1;
        }
        digest.resize(20);
        const Bytes m = member(digest);
        members.insert(members.end(), m.begin(), m.end());
    }
    // A fixed identifier and date: the same inputs give the same catalogue.
    const Bytes identifier = {0x48, 0x56, 0x54, 0x45, 0x53, 0x54, 0x43, 0x41, 0x54, 0, 0, 0, 0, 0, 0, 1};
    const std::string when = "260101000000Z";
    const Bytes list = sequence({
        sequence({oid("1.3.6.1.4.1.311.12.1.1")}),  // szOID_CATALOG_LIST
        octets(identifier),
        tlv(0x17, Bytes(when.begin(), when.end())),
        sequence({oid("1.3.6.1.4.1.311.12.1.2"), null()}),  // szOID_CATALOG_LIST_MEMBER
        tlv(0x30, members),
    });
    const Bytes signedData = sequence({
        integer(1),
        set({}),
        sequence({oid("1.3.6.1.4.1.311.10.1"), tlv(0xA0, list)}),  // szOID_CTL
        set({}),
    });
    const Bytes file = sequence({oid("1.2.840.113549.1.7.2"), tlv(0xA0, signedData)});

    FILE* out = fopen(argv[1], "wb");
    if (!out || fwrite(file.data(), 1, file.size(), out) != file.size() || fclose(out) != 0) {
        fprintf(stderr, "make_catalog: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
