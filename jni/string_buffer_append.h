// Hands a native operation's text output to the StringBuffer that the
// Java caller passed in, through StringBuffer.append(String).
#pragma once

#include <jni.h>

#include <string_view>

namespace zcv {

enum class AppendOutcome {
  kAppended,
  kNoAppendMethod,  // append(String) not found; the JVM's error is pending
  kJavaException,   // making the string or appending threw; the exception is pending
};

// Appends `bytes`, decoded as UTF-8 with replacement so that no byte
// sequence can upset the JVM. A pending Java exception is left for the Java
// caller to receive, and no JNI call follows it.
AppendOutcome AppendToStringBuffer(JNIEnv* env, jobject buffer, std::string_view bytes);

}  // namespace zcv
