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

// The holder profile texts of enable and modifyInfo, in their order.
struct Profile {
  Profile(JNIEnv* env, jbyteArray user_name_bytes, jbyteArray id_bytes, jbyteArray mobile_bytes,
          jbyteArray tel_bytes, jbyteArray post_bytes, jbyteArray email_bytes,
          jbyteArray address_bytes)
      : user_name(env, user_name_bytes),
        id(env, id_bytes),
        mobile(env, mobile_bytes),
        tel(env, tel_bytes),
        post(env, post_bytes),
        email(env, email_bytes),
        address(env, address_bytes) {}
  JavaText user_name, id, mobile, tel, post, email, address;
};

}  // namespace
}  // namespace zcv

using zcv::JavaText;
using zcv::Profile;
using zcv::Run;
using zcv::WithExpiry;
using zcv::WithPassword;
using zcv::WithRows;

extern "C" {

// ---- The client's life: open returns 0 with the reason in `error` (cut,
// NUL-terminated) when the configuration cannot be used.

JNIEXPORT jlong JNICALL Java_vantor_mira_NativeClient_open(JNIEnv* env, jclass, jbyteArray config,
                                                           jbyteArray log, jbyteArray error) {
  try {
    const JavaText config_path(env, config);
    const JavaText log_path(env, log);
    char reason[ZCV_ERROR_BYTES] = {};
    zcv_client* client =
        zcv_client_open(config_path.get(), log_path.get(), 0, reason, sizeof reason);
    if (client == nullptr && error != nullptr) zcv::Store(env, error, reason, sizeof reason);
    return static_cast<jlong>(reinterpret_cast<std::intptr_t>(client));
  } catch (...) {
    return 0;
  }
}

JNIEXPORT void JNICALL Java_vantor_mira_NativeClient_close(JNIEnv*, jclass, jlong client) {
  zcv_client_close(zcv::Client(client));
}

// ---- Authentication.

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_auth(JNIEnv* env, jclass, jlong client,
                                                          jint card, jint pw, jbyteArray expiry) {
  return WithExpiry(env, expiry, [&](char* out, std::size_t size) {
    return zcv_auth(zcv::Client(client), card, pw, out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_auth2(JNIEnv* env, jclass, jlong client,
                                                           jint card, jint pw, jbyteArray expiry) {
  return WithExpiry(env, expiry, [&](char* out, std::size_t size) {
    return zcv_auth2(zcv::Client(client), card, pw, out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_auth2Next(JNIEnv* env, jclass, jlong client,
                                                               jint card, jint pw1, jint pw2,
                                                               jbyteArray expiry) {
  return WithExpiry(env, expiry, [&](char* out, std::size_t size) {
    return zcv_auth2_next(zcv::Client(client), card, pw1, pw2, out, size);
  });
}

// ---- Binding.

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_binding(JNIEnv* env, jclass, jlong client,
                                                             jint card, jint pw, jint app,
                                                             jint app2, jbyteArray account,
                                                             jbyteArray password) {
  return WithPassword(env, password, [&](char* out, std::size_t size) {
    const JavaText a(env, account);
    return zcv_binding(zcv::Client(client), card, pw, app, app2, a.get(), out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_binding2(JNIEnv* env, jclass, jlong client,
                                                              jint card, jint pw, jint app,
                                                              jint app2, jbyteArray account,
                                                              jbyteArray password) {
  return WithPassword(env, password, [&](char* out, std::size_t size) {
    const JavaText a(env, account);
    return zcv_binding2(zcv::Client(client), card, pw, app, app2, a.get(), out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_binding2Next(JNIEnv* env, jclass, jlong client,
                                                                  jint card, jint pw1, jint pw2,
                                                                  jint app, jint app2,
                                                                  jbyteArray account,
                                                                  jbyteArray password) {
  return WithPassword(env, password, [&](char* out, std::size_t size) {
    const JavaText a(env, account);
    return zcv_binding2_next(zcv::Client(client), card, pw1, pw2, app, app2, a.get(), out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_unbinding(JNIEnv* env, jclass, jlong client,
                                                               jint card, jbyteArray serviceNo,
                                                               jint pw, jint app, jint app2,
                                                               jbyteArray account) {
  return Run([&] {
    const JavaText s(env, serviceNo), a(env, account);
    return zcv_unbinding(zcv::Client(client), card, s.get(), pw, app, app2, a.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_unbinding2(JNIEnv* env, jclass, jlong client,
                                                                jint card, jbyteArray serviceNo,
                                                                jint pw, jint app, jint app2,
                                                                jbyteArray account) {
  return Run([&] {
    const JavaText s(env, serviceNo), a(env, account);
    return zcv_unbinding2(zcv::Client(client), card, s.get(), pw, app, app2, a.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_unbinding2Next(JNIEnv* env, jclass,
                                                                    jlong client, jint card,
                                                                    jbyteArray serviceNo, jint pw1,
                                                                    jint pw2, jint app, jint app2,
                                                                    jbyteArray account) {
  return Run([&] {
    const JavaText s(env, serviceNo), a(env, account);
    return zcv_unbinding2_next(zcv::Client(client), card, s.get(), pw1, pw2, app, app2, a.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_unbindingEx(JNIEnv* env, jclass, jlong client,
                                                                 jint card, jint app, jint app2,
                                                                 jbyteArray account) {
  return Run([&] {
    const JavaText a(env, account);
    return zcv_unbinding_ex(zcv::Client(client), card, app, app2, a.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_unbindingEx2(JNIEnv* env, jclass, jlong client,
                                                                  jint card, jint app, jint app2,
                                                                  jbyteArray account,
                                                                  jbyteArray resvPassword) {
  return Run([&] {
    const JavaText a(env, account), p(env, resvPassword);
    return zcv_unbinding_ex2(zcv::Client(client), card, app, app2, a.get(), p.get());
  });
}

// ---- Card lifecycle.

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_enable(
    JNIEnv* env, jclass, jlong client, jbyteArray serviceNo, jint pw, jbyteArray userName,
    jint idType, jbyteArray id, jbyteArray mobile, jbyteArray tel, jbyteArray post,
    jbyteArray email, jbyteArray address, jbyteArray expiry) {
  return WithExpiry(env, expiry, [&](char* out, std::size_t size) {
    const JavaText s(env, serviceNo);
    const Profile p(env, userName, id, mobile, tel, post, email, address);
    return zcv_enable(zcv::Client(client), s.get(), pw, p.user_name.get(), idType, p.id.get(),
                      p.mobile.get(), p.tel.get(), p.post.get(), p.email.get(), p.address.get(),
                      out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_enableNext(
    JNIEnv* env, jclass, jlong client, jbyteArray serviceNo, jint pw1, jint pw2,
    jbyteArray userName, jint idType, jbyteArray id, jbyteArray mobile, jbyteArray tel,
    jbyteArray post, jbyteArray email, jbyteArray address, jbyteArray expiry) {
  return WithExpiry(env, expiry, [&](char* out, std::size_t size) {
    const JavaText s(env, serviceNo);
    const Profile p(env, userName, id, mobile, tel, post, email, address);
    return zcv_enable_next(zcv::Client(client), s.get(), pw1, pw2, p.user_name.get(), idType,
                           p.id.get(), p.mobile.get(), p.tel.get(), p.post.get(), p.email.get(),
                           p.address.get(), out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_disable(JNIEnv* env, jclass, jlong client,
                                                             jint card, jbyteArray serviceNo,
                                                             jbyteArray idCode, jint app, jint app2,
                                                             jbyteArray account,
                                                             jbyteArray operatorName) {
  return Run([&] {
    const JavaText s(env, serviceNo), i(env, idCode), a(env, account), o(env, operatorName);
    return zcv_disable(zcv::Client(client), card, s.get(), i.get(), app, app2, a.get(), o.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_loss(JNIEnv* env, jclass, jlong client,
                                                          jint card, jbyteArray serviceNo,
                                                          jint type, jint app, jint app2,
                                                          jbyteArray account,
                                                          jbyteArray operatorName) {
  return Run([&] {
    const JavaText s(env, serviceNo), a(env, account), o(env, operatorName);
    return zcv_loss(zcv::Client(client), card, s.get(), type, app, app2, a.get(), o.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_unloss(JNIEnv* env, jclass, jlong client,
                                                            jint card, jbyteArray serviceNo,
                                                            jint pw, jbyteArray operatorName) {
  return Run([&] {
    const JavaText s(env, serviceNo), o(env, operatorName);
    return zcv_unloss(zcv::Client(client), card, s.get(), pw, o.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_unlossNext(JNIEnv* env, jclass, jlong client,
                                                                jint card, jbyteArray serviceNo,
                                                                jint pw1, jint pw2,
                                                                jbyteArray operatorName) {
  return Run([&] {
    const JavaText s(env, serviceNo), o(env, operatorName);
    return zcv_unloss_next(zcv::Client(client), card, s.get(), pw1, pw2, o.get());
  });
}

// ---- Binding information and card status.

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_bindInfoQuery(JNIEnv* env, jclass,
                                                                   jlong client, jint card, jint pw,
                                                                   jintArray count,
                                                                   jbyteArray rows) {
  return WithRows(env, count, rows, [&](int* n, zcv_bind_info* out, std::size_t capacity) {
    return zcv_bind_info_query(zcv::Client(client), card, pw, n, out, capacity);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_bindInfoQueryNext(JNIEnv* env, jclass,
                                                                       jlong client, jint card,
                                                                       jint pw1, jint pw2,
                                                                       jintArray count,
                                                                       jbyteArray rows) {
  return WithRows(env, count, rows, [&](int* n, zcv_bind_info* out, std::size_t capacity) {
    return zcv_bind_info_query_next(zcv::Client(client), card, pw1, pw2, n, out, capacity);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_status(JNIEnv* env, jclass, jlong client,
                                                            jint card, jintArray cardStatus,
                                                            jbyteArray expiry) {
  if (cardStatus == nullptr) return zcv::kRefused;
  return WithExpiry(env, expiry, [&](char* out, std::size_t size) {
    int status = 0;
    const unsigned code = zcv_status(zcv::Client(client), card, &status, out, size);
    if (code == ZCV_ACCEPTED) zcv::StoreInt(env, cardStatus, status);
    return code;
  });
}

// ---- Card replacement, holder profile, account links.

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_change(JNIEnv* env, jclass, jlong client,
                                                            jint cardOld, jbyteArray serviceNoOld,
                                                            jbyteArray serviceNoNew, jint pw) {
  return Run([&] {
    const JavaText o(env, serviceNoOld), n(env, serviceNoNew);
    return zcv_change(zcv::Client(client), cardOld, o.get(), n.get(), pw);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_changeNext(JNIEnv* env, jclass, jlong client,
                                                                jint cardOld,
                                                                jbyteArray serviceNoOld,
                                                                jbyteArray serviceNoNew, jint pw1,
                                                                jint pw2) {
  return Run([&] {
    const JavaText o(env, serviceNoOld), n(env, serviceNoNew);
    return zcv_change_next(zcv::Client(client), cardOld, o.get(), n.get(), pw1, pw2);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_modifyInfo(
    JNIEnv* env, jclass, jlong client, jint card, jint pw, jbyteArray userName, jint idType,
    jbyteArray id, jbyteArray mobile, jbyteArray tel, jbyteArray post, jbyteArray email,
    jbyteArray address) {
  return Run([&] {
    const Profile p(env, userName, id, mobile, tel, post, email, address);
    return zcv_modify_info(zcv::Client(client), card, pw, p.user_name.get(), idType, p.id.get(),
                           p.mobile.get(), p.tel.get(), p.post.get(), p.email.get(),
                           p.address.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_modifyInfoNext(
    JNIEnv* env, jclass, jlong client, jint card, jint pw1, jint pw2, jbyteArray userName,
    jint idType, jbyteArray id, jbyteArray mobile, jbyteArray tel, jbyteArray post,
    jbyteArray email, jbyteArray address) {
  return Run([&] {
    const Profile p(env, userName, id, mobile, tel, post, email, address);
    return zcv_modify_info_next(zcv::Client(client), card, pw1, pw2, p.user_name.get(), idType,
                                p.id.get(), p.mobile.get(), p.tel.get(), p.post.get(),
                                p.email.get(), p.address.get());
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_bindEsale(JNIEnv* env, jclass, jlong client,
                                                               jint card, jint pw,
                                                               jbyteArray password) {
  return WithPassword(env, password, [&](char* out, std::size_t size) {
    return zcv_bind_esale(zcv::Client(client), card, pw, out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_bindEsaleNext(JNIEnv* env, jclass,
                                                                   jlong client, jint card,
                                                                   jint pw1, jint pw2,
                                                                   jbyteArray password) {
  return WithPassword(env, password, [&](char* out, std::size_t size) {
    return zcv_bind_esale_next(zcv::Client(client), card, pw1, pw2, out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_bindOther(JNIEnv* env, jclass, jlong client,
                                                               jint card, jint pw,
                                                               jbyteArray password) {
  return WithPassword(env, password, [&](char* out, std::size_t size) {
    return zcv_bind_other(zcv::Client(client), card, pw, out, size);
  });
}

JNIEXPORT jint JNICALL Java_vantor_mira_NativeClient_bindOtherNext(JNIEnv* env, jclass,
                                                                   jlong client, jint card,
                                                                   jint pw1, jint pw2,
                                                                   jbyteArray password) {
  return WithPassword(env, password, [&](char* out, std::size_t size) {
    return zcv_bind_other_next(zcv::Client(client), card, pw1, pw2, out, size);
  });
}

}  // extern "C"
