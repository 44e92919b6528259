#include "finder/saves/segment_cipher.h"

#include <openssl/evp.h>

namespace {

constexpr size_t kBlock = 16;

EVP_CIPHER_CTX* ContextOf(void* context) { return static_cast<EVP_CIPHER_CTX*>(context); }

}  // namespace

SegmentCipher::~SegmentCipher() { Stop(); }

bool SegmentCipher::Start(const std::string& key, const std::string& iv) {
  Stop();
  if (key.size() != kBlock || iv.size() != kBlock) return false;
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  if (!context) return false;
  m_context = context;
  if (EVP_DecryptInit_ex(context, EVP_aes_128_cbc(), nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()),
                         reinterpret_cast<const unsigned char*>(iv.data())) != 1) {
    Stop();
    return false;
  }
  return true;
}

bool SegmentCipher::Update(std::string_view bytes, std::string& plain) {
  plain.clear();
  if (!m_context) return false;
  plain.resize(bytes.size() + kBlock);
  int written = 0;
  if (EVP_DecryptUpdate(ContextOf(m_context), reinterpret_cast<unsigned char*>(plain.data()),
                        &written, reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size())) != 1) {
    plain.clear();
    return false;
  }
  plain.resize(static_cast<size_t>(written));
  return true;
}

bool SegmentCipher::Finish(std::string& plain) {
  plain.clear();
  if (!m_context) return false;
  plain.resize(kBlock);
  int written = 0;
  const bool whole =
      EVP_DecryptFinal_ex(ContextOf(m_context), reinterpret_cast<unsigned char*>(plain.data()),
                          &written) == 1;
  plain.resize(whole ? static_cast<size_t>(written) : 0);
  Stop();
  return whole;
}

void SegmentCipher::Stop() {
  if (m_context) EVP_CIPHER_CTX_free(ContextOf(m_context));
  m_context = nullptr;
}

std::string SequenceIv(int64_t sequence) {
  std::string iv(kBlock, '\0');
  auto value = static_cast<uint64_t>(sequence);
  for (size_t at = kBlock; at > kBlock - 8; --at, value >>= 8) {
    iv[at - 1] = static_cast<char>(value & 0xFF);
  }
  return iv;
}
