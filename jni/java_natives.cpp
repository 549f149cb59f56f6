// The native methods of the Java class vantor.mira.Zephyrcoilvault: each
// runs the exported operation of its name into a zero-filled buffer and
// appends the buffer's text to the caller's StringBuffer.
#include "jni/java_natives.h"

#include <cstring>
#include <string_view>

#include "jni/string_buffer_append.h"
#include "zephyrcoilvault.h"

namespace zcv {
namespace {

// The expiry text has 19 characters and a NUL; the spare byte keeps the
// buffer terminated whatever the operation writes.
constexpr std::size_t kExpireOutputBytes = kExpireTextBytes + 1;
constexpr std::size_t kPasswordOutputBytes = kResvPassWordBytes;

jint ToJava(ResultCode code) { return static_cast<jint>(code); }

// Runs `operation` on a zero-filled buffer of `Bytes` bytes and appends
// the buffer's text, whatever the result: a failed operation leaves the
// buffer empty, and appending nothing leaves the StringBuffer as it was.
// No C++ exception leaves here.
template <std::size_t Bytes, typename Operation>
jint RunNative(JNIEnv* env, jobject out, Operation operation) noexcept {
  try {
    if (out == nullptr) return ToJava(kArgumentRefused);
    char output[Bytes] = {};
    const ResultCode result = operation(output);
    const std::string_view text(output, strnlen(output, Bytes));
    if (AppendToStringBuffer(env, out, text) == AppendOutcome::kNoAppendMethod) {
      return ToJava(kNoAnswer);
    }
    return ToJava(result);
  } catch (...) {
    return ToJava(kNoAnswer);
  }
}

}  // namespace
}  // namespace zcv

using zcv::kExpireOutputBytes;
using zcv::kPasswordOutputBytes;
using zcv::RunNative;

JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenAuth2(JNIEnv* env, jclass,
                                                                   jint iCardNo, jint iDynpasswd,
                                                                   jobject out) {
  return RunNative<kExpireOutputBytes>(
      env, out, [=](char* expireText) { return TokenAuth2(iCardNo, iDynpasswd, expireText); });
}

JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenAuth2Next(
    JNIEnv* env, jclass, jint iCardNo, jint iDynpasswd1, jint iDynpasswd2, jobject out) {
  return RunNative<kExpireOutputBytes>(env, out, [=](char* expireText) {
    return TokenAuth2Next(iCardNo, iDynpasswd1, iDynpasswd2, expireText);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenBindOther(JNIEnv* env, jclass,
                                                                       jint iCardNo,
                                                                       jint iDynpasswd,
                                                                       jobject out) {
  return RunNative<kPasswordOutputBytes>(env, out, [=](char* resvPassWord) {
    return TokenBindOther(iCardNo, iDynpasswd, resvPassWord);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenBindOtherNext(
    JNIEnv* env, jclass, jint iCardNo, jint iDynpasswd1, jint iDynpasswd2, jobject out) {
  return RunNative<kPasswordOutputBytes>(env, out, [=](char* resvPassWord) {
    return TokenBindOtherNext(iCardNo, iDynpasswd1, iDynpasswd2, resvPassWord);
  });
}
