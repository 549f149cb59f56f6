// StringBuffer.append(String) reached through JNI, with the output decoded
// so that a reserved password of arbitrary bytes reaches Java intact.
#include "jni/string_buffer_append.h"

#include <string>

#include "jni/utf8_to_utf16.h"

namespace zcv {
namespace {
constexpr char kAppendName[] = "append";
constexpr char kAppendSignature[] = "(Ljava/lang/String;)Ljava/lang/StringBuffer;";
}  // namespace

AppendOutcome AppendToStringBuffer(JNIEnv* env, jobject buffer, std::string_view bytes) {
  jclass type = env->GetObjectClass(buffer);
  jmethodID append = env->GetMethodID(type, kAppendName, kAppendSignature);
  if (append == nullptr) return AppendOutcome::kNoAppendMethod;

  // NewString takes any UTF-16, unlike NewStringUTF, which requires valid
  // modified UTF-8 and may abort the JVM on other bytes.
  const std::u16string text = Utf8ToUtf16(bytes);
  jstring string =
      env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
  if (string == nullptr) return AppendOutcome::kJavaException;

  env->CallObjectMethod(buffer, append, string);
  return env->ExceptionCheck() ? AppendOutcome::kJavaException : AppendOutcome::kAppended;
}

}  // namespace zcv
