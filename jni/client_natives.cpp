// The native methods of the Java class vantor.mira.NativeClient, which
// vantor.mira.TokenClient wraps: each runs one function of the C interface
// on the client handle it is given. Texts arrive as byte arrays already in
// the client's charset (null for an absent optional text); outputs go back
// into the byte and int arrays that the Java side passes in, and only on an
// accepted request. No Java exception is raised here except an
// OutOfMemoryError from the JVM itself.
#include <jni.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "zephyrcoilvault/client.h"

namespace zcv {
namespace {

constexpr jint kRefused = static_cast<jint>(ZCV_ARGUMENT_REFUSED);
constexpr jint kNoAnswer = static_cast<jint>(ZCV_NO_ANSWER);

zcv_client* Client(jlong handle) {
  return reinterpret_cast<zcv_client*>(static_cast<std::intptr_t>(handle));
}

// A Java byte array's bytes with a terminating NUL; a null array stays null.
class JavaText {
 public:
  JavaText(JNIEnv* env, jbyteArray bytes) : present_(bytes != nullptr) {
    if (!present_) return;
    text_.resize(static_cast<std::size_t>(env->GetArrayLength(bytes)));
    env->GetByteArrayRegion(bytes, 0, static_cast<jsize>(text_.size()),
                            reinterpret_cast<jbyte*>(text_.data()));
  }
  const char* get() const { return present_ ? text_.c_str() : nullptr; }
  // False when a NUL inside would cut the text short as a C string.
  bool whole() const { return text_.find('\0') == std::string::npos; }
  std::size_t size() const { return text_.size(); }

 private:
  bool present_;
  std::string text_;
};

// Copies `size` bytes of an accepted request's output into `out`, cut to
// the array's length.
void Store(JNIEnv* env, jbyteArray out, const void* bytes, std::size_t size) {
  const auto length = static_cast<std::size_t>(env->GetArrayLength(out));
  env->SetByteArrayRegion(out, 0, static_cast<jsize>(std::min(length, size)),
                          static_cast<const jbyte*>(bytes));
}

void StoreInt(JNIEnv* env, jintArray out, int value) {
  if (env->GetArrayLength(out) < 1) return;
  const jint v = value;
  env->SetIntArrayRegion(out, 0, 1, &v);
}

// Runs `call` with every C++ exception turned into "no usable answer": a
// std::bad_alloc while copying a text must not reach the JVM.
template <typename Call>
jint Run(Call call) noexcept {
  try {
    return static_cast<jint>(call());
  } catch (...) {
    return kNoAnswer;
  }
}

// An operation with a text output of `Bytes` bytes (expiry or reserved
// password): `call(buffer, size)` runs it, and an accepted output is stored.
template <std::size_t Bytes, typename Call>
jint WithText(JNIEnv* env, jbyteArray out, Call call) noexcept {
  if (out == nullptr) return kRefused;
  return Run([&] {
    char buffer[Bytes] = {};
    const unsigned code = call(buffer, sizeof buffer);
    if (code == ZCV_ACCEPTED) Store(env, out, buffer, sizeof buffer);
    return code;
  });
}

template <typename Call>
jint WithExpiry(JNIEnv* env, jbyteArray out, Call call) noexcept {
  return WithText<ZCV_EXPIRE_TEXT_BYTES>(env, out, call);
}

template <typename Call>
jint WithPassword(JNIEnv* env, jbyteArray out, Call call) noexcept {
  return WithText<ZCV_RESV_PASSWORD_BYTES>(env, out, call);
}

// Whether every text reaches the C function as it is.
bool Whole(std::initializer_list<const JavaText*> texts) {
  for (const JavaText* text : texts) {
    if (!text->whole()) return false;
  }
  return true;
}

// The card status and the expiry of an accepted status query.
template <typename Call>
jint WithStatus(JNIEnv* env, jintArray status, jbyteArray expiry, Call call) noexcept {
  if (status == nullptr) return kRefused;
  return WithExpiry(env, expiry, [&](char* out, std::size_t size) {
    int value = 0;
    const unsigned code = call(&value, out, size);
    if (code == ZCV_ACCEPTED) StoreInt(env, status, value);
    return code;
  });
}

// The binding rows as the C interface writes them, 52 bytes each in the
// machine's byte order, and their count.
template <typename Call>
jint WithRows(JNIEnv* env, jintArray count, jbyteArray rows, Call call) noexcept {
  if (count == nullptr || rows == nullptr) return kRefused;
  return Run([&] {
    zcv_bind_info buffer[ZCV_MAX_BIND_ROWS] = {};
    int n = 0;
    const unsigned code = call(&n, buffer, static_cast<std::size_t>(ZCV_MAX_BIND_ROWS));
    if (code == ZCV_ACCEPTED) {
      StoreInt(env, count, n);
      Store(env, rows, buffer, sizeof buffer);
    }
    return code;
  });
}

}  // namespace
}  // namespace zcv

extern "C" {

// ---- The client's life: open returns 0 with the reason in `error` (cut,
// NUL-terminated) when the configuration cannot be used.

// Opens on the file `configPath` names or on the bytes `configData` (the
// other null), with the call's time-out in whole seconds (0: the file's).
JNIEXPORT jlong JNICALL Java_vantor_mira_NativeClient_openOptions(
    JNIEnv* env, jclass, jbyteArray configPath, jbyteArray configData, jbyteArray log,
    jint callTimeoutSeconds, jbyteArray error) {
  try {
    const zcv::JavaText config_path(env, configPath);
    const zcv::JavaText config_data(env, configData);
    const zcv::JavaText log_path(env, log);
    char reason[ZCV_ERROR_BYTES] = "a path holds a NUL";
    if (!zcv::Whole({&config_path, &log_path})) {
      if (error != nullptr) zcv::Store(env, error, reason, sizeof reason);
      return 0;
    }
    reason[0] = '\0';
    zcv_options options = ZCV_OPTIONS_INIT;
    options.config_path = config_path.get();
    options.config_data = config_data.get();
    options.config_size = config_data.size();
    options.log_path = log_path.get();
    options.call_timeout_s =
        callTimeoutSeconds < 0 ? ~0u : static_cast<unsigned>(callTimeoutSeconds);
    zcv_client* client = zcv_client_open_options(&options, reason, sizeof reason);
    if (client == nullptr && error != nullptr) zcv::Store(env, error, reason, sizeof reason);
    return static_cast<jlong>(reinterpret_cast<std::intptr_t>(client));
  } catch (...) {
    return 0;
  }
}

// The file `config` names, with the file's own time-outs: zcv_client_open
// is the same as the options open with a path alone.
JNIEXPORT jlong JNICALL Java_vantor_mira_NativeClient_open(JNIEnv* env, jclass cls,
                                                           jbyteArray config, jbyteArray log,
                                                           jbyteArray error) {
  return Java_vantor_mira_NativeClient_openOptions(env, cls, config, nullptr, log, 0, error);
}

JNIEXPORT void JNICALL Java_vantor_mira_NativeClient_close(JNIEnv*, jclass, jlong client) {
  zcv_client_close(zcv::Client(client));
}

// The operations, from the operation table (tools/bindgen/bindgen.py).
#include "client_natives.inc"

}  // extern "C"
