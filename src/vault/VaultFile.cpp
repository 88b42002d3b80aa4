#include "vault/VaultFile.h"

#include <algorithm>
#include <fstream>

namespace wrenpost {
namespace {

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    template <std::size_t N>
    void Take(std::array<unsigned char, N>& field) {
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), N, field.begin());
        pos_ += N;
    }
    std::uint32_t TakeLength() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[pos_ + i]))
                     << (8 * i);
        }
        pos_ += 4;
        return value;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = kVaultMagicSize;
};

template <std::size_t N>
void Put(std::string& out, const std::array<unsigned char, N>& field) {
    out.append(reinterpret_cast<const char*>(field.data()), N);
}

void PutLength(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

std::optional<VaultVersion> VaultVersionOf(std::string_view fileStart) {
    const std::string_view magic = fileStart.substr(0, kVaultMagicSize);
    if (magic == kVaultMagicV3) {
        return VaultVersion::V3;
    }
    if (magic == kVaultMagicV2) {
        return VaultVersion::V2;
    }
    if (magic == kVaultMagicV1) {
        return VaultVersion::V1;
    }
    return std::nullopt;
}

std::size_t VaultHeaderSize(VaultVersion version) {
    switch (version) {
        case VaultVersion::V1:
            return kVaultHeaderSizeV1;
        case VaultVersion::V2:
            return kVaultHeaderSizeV2;
        case VaultVersion::V3:
            break;
    }
    return kVaultHeaderSizeV3;
}

bool ParseVaultHeader(std::string_view file, VaultHeader& header) {
    const auto version = VaultVersionOf(file);
    if (!version || file.size() < VaultHeaderSize(*version)) {
        return false;
    }
    VaultHeader parsed;
    parsed.version = *version;
    Reader reader(file);
    if (*version == VaultVersion::V3) {
        parsed.passwordIterations = reader.TakeLength();
        parsed.recoveryIterations = reader.TakeLength();
        if (parsed.passwordIterations == 0 || parsed.passwordIterations > kMaxVaultKdfIterations ||
            parsed.recoveryIterations > kMaxVaultKdfIterations) {
            return false;
        }
    } else if (*version == VaultVersion::V2) {
        parsed.recoveryIterations = kVaultLegacyKdfIterations;
    }
    reader.Take(parsed.passwordSalt);
    if (*version == VaultVersion::V1) {
        reader.Take(parsed.dataIv);
        reader.Take(parsed.passwordVerifier);
    } else {
        reader.Take(parsed.passwordIv);
        reader.Take(parsed.passwordVerifier);
        reader.Take(parsed.passwordWrappedKey);
        reader.Take(parsed.recoverySalt);
        reader.Take(parsed.recoveryIv);
        reader.Take(parsed.recoveryVerifier);
        reader.Take(parsed.recoveryWrappedKey);
        reader.Take(parsed.dataIv);
    }
    parsed.ciphertextLength = reader.TakeLength();
    header = parsed;
    return true;
}

bool SliceVaultCiphertext(std::string_view file, VaultHeader& header,
                          std::string_view& ciphertext) {
    const std::size_t start = VaultHeaderSize(header.version);
    const std::size_t length = header.ciphertextLength;
    if (length == 0 || length > kMaxVaultCiphertextSize || file.size() < start ||
        file.size() - start < length) {
        return false;
    }
    if (header.version == VaultVersion::V3) {
        // Nothing may follow the MAC: trailing bytes would be outside what it vouches for.
        if (file.size() - start - length != kVaultMacSize) {
            return false;
        }
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(start + length), kVaultMacSize,
                    header.mac.begin());
    }
    ciphertext = file.substr(start, length);
    return true;
}

std::string_view VaultAuthenticatedBytes(std::string_view file) {
    return file.substr(0, file.size() < kVaultMacSize ? 0 : file.size() - kVaultMacSize);
}

std::string SerializeVaultFile(const VaultHeader& header, std::string_view ciphertext) {
    std::string out;
    out.reserve(VaultHeaderSize(header.version) + ciphertext.size() + kVaultMacSize);
    if (header.version == VaultVersion::V1) {
        out += kVaultMagicV1;
        Put(out, header.passwordSalt);
        Put(out, header.dataIv);
        Put(out, header.passwordVerifier);
    } else {
        if (header.version == VaultVersion::V3) {
            out += kVaultMagicV3;
            PutLength(out, header.passwordIterations);
            PutLength(out, header.recoveryIterations);
        } else {
            out += kVaultMagicV2;
        }
        Put(out, header.passwordSalt);
        Put(out, header.passwordIv);
        Put(out, header.passwordVerifier);
        Put(out, header.passwordWrappedKey);
        Put(out, header.recoverySalt);
        Put(out, header.recoveryIv);
        Put(out, header.recoveryVerifier);
        Put(out, header.recoveryWrappedKey);
        Put(out, header.dataIv);
    }
    PutLength(out, static_cast<std::uint32_t>(ciphertext.size()));
    out += ciphertext;
    if (header.version == VaultVersion::V3) {
        Put(out, header.mac);
    }
    return out;
}

bool ReadVaultFileStart(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    constexpr std::size_t kLimit = kVaultHeaderSizeV3 + kMaxVaultCiphertextSize + kVaultMacSize;
    std::string content;
    char buffer[64 * 1024];
    while (content.size() < kLimit && in) {
        const std::size_t want = std::min(sizeof buffer, kLimit - content.size());
        in.read(buffer, static_cast<std::streamsize>(want));
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return false;
    }
    bytes = std::move(content);
    return true;
}

}  // namespace wrenpost
