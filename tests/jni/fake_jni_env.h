// A JNI environment made by hand for the native-side tests: the few JNI
// functions the bridge uses, switches to make them fail the way a JVM
// does (with a pending exception), and a record of every call.
#pragma once

#include <jni.h>

#include <string>
#include <vector>

namespace zcv::test {

class FakeJniEnv {
 public:
  FakeJniEnv();
  ~FakeJniEnv();
  FakeJniEnv(const FakeJniEnv&) = delete;
  FakeJniEnv& operator=(const FakeJniEnv&) = delete;

  JNIEnv* env() { return &env_; }
  jobject buffer();  // the StringBuffer the calls are made on

  // Fault switches.
  bool hasAppend = true;
  bool newStringFails = false;
  bool appendThrows = false;

  // What happened. A call made while an exception was pending is recorded
  // as "PENDING <name>"; ExceptionCheck is the one call allowed then.
  bool pending = false;
  std::vector<std::string> calls;
  std::string methodName, methodSignature;
  std::u16string appended;

 private:
  JNINativeInterface_ table_{};
  JNIEnv env_{};
};

}  // namespace zcv::test
