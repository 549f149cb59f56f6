// The 28 operations on a client, each written once: its request, argument
// checks and outputs. The exported C++ functions call them on the default
// client with the sizes their callers are documented to give; the C
// interface calls them with the caller's client and sizes. An output
// smaller than what the operation may write is refused with 1011.
#pragma once

#include <cstddef>

#include "zephyrcoilvault.h"

namespace zcv {
class Client;
}

namespace zcv::op {

using Size = std::size_t;

ResultCode Auth(Client* c, int cardNo, int dynpasswd, char* expireText, Size expireBytes);
ResultCode Auth2(Client* c, int cardNo, int dynpasswd, char* expireText, Size expireBytes);
ResultCode Auth2Next(Client* c, int cardNo, int dynpasswd1, int dynpasswd2, char* expireText,
                     Size expireBytes);

ResultCode Binding(Client* c, int cardNo, int dynpasswd, int appNo, int appNo2, const char* account,
                   char* resvPassWord, Size resvBytes);
ResultCode Binding2(Client* c, int cardNo, int dynpasswd, int appNo, int appNo2,
                    const char* account, char* resvPassWord, Size resvBytes);
ResultCode Binding2Next(Client* c, int cardNo, int dynpasswd1, int dynpasswd2, int appNo,
                        int appNo2, const char* account, char* resvPassWord, Size resvBytes);
ResultCode UnBinding(Client* c, int cardNo, const char* serviceNo, int dynpasswd, int appNo,
                     int appNo2, const char* account);
ResultCode UnBinding2(Client* c, int cardNo, const char* serviceNo, int dynpasswd, int appNo,
                      int appNo2, const char* account);
ResultCode UnBinding2Next(Client* c, int cardNo, const char* serviceNo, int dynpasswd1,
                          int dynpasswd2, int appNo, int appNo2, const char* account);
ResultCode UnBindingEx(Client* c, int cardNo, int appNo, int appNo2, const char* account);
ResultCode UnBindingEx2(Client* c, int cardNo, int appNo, int appNo2, const char* account,
                        const char* resvPassWord);

ResultCode Enable(Client* c, const char* serviceNo, int dynpasswd, const char* userName, int idType,
                  const char* id, const char* mobile, const char* tel, const char* post,
                  const char* email, const char* address, char* expireText, Size expireBytes);
ResultCode EnableNext(Client* c, const char* serviceNo, int dynpasswd1, int dynpasswd2,
                      const char* userName, int idType, const char* id, const char* mobile,
                      const char* tel, const char* post, const char* email, const char* address,
                      char* expireText, Size expireBytes);
ResultCode Disable(Client* c, int cardNo, const char* serviceNo, const char* idCode, int appNo,
                   int appNo2, const char* account, const char* operatorName);
ResultCode Loss(Client* c, int cardNo, const char* serviceNo, int type, int appNo, int appNo2,
                const char* account, const char* operatorName);
ResultCode UnLoss(Client* c, int cardNo, const char* serviceNo, int dynpasswd,
                  const char* operatorName);
ResultCode UnLossNext(Client* c, int cardNo, const char* serviceNo, int dynpasswd1, int dynpasswd2,
                      const char* operatorName);

ResultCode BindInfoQuery(Client* c, int cardNo, int dynpasswd, int* rowCount, pTokenBindInfo* rows,
                         Size rowCapacity);
ResultCode BindInfoQueryNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2, int* rowCount,
                             pTokenBindInfo* rows, Size rowCapacity);

ResultCode Status(Client* c, int cardNo, int* cardStatus, char* expireText, Size expireBytes);

ResultCode Change(Client* c, int cardNoOld, const char* serviceNoOld, const char* serviceNoNew,
                  int dynpasswd);
ResultCode ChangeNext(Client* c, int cardNoOld, const char* serviceNoOld, const char* serviceNoNew,
                      int dynpasswd1, int dynpasswd2);
ResultCode ModifyInfo(Client* c, int cardNo, int dynpasswd, const char* userName, int idType,
                      const char* id, const char* mobile, const char* tel, const char* post,
                      const char* email, const char* address);
ResultCode ModifyInfoNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2,
                          const char* userName, int idType, const char* id, const char* mobile,
                          const char* tel, const char* post, const char* email,
                          const char* address);
ResultCode BindEsale(Client* c, int cardNo, int dynpasswd, char* resvPassWord, Size resvBytes);
ResultCode BindEsaleNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2, char* resvPassWord,
                         Size resvBytes);
ResultCode BindOther(Client* c, int cardNo, int dynpasswd, char* resvPassWord, Size resvBytes);
ResultCode BindOtherNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2, char* resvPassWord,
                         Size resvBytes);

}  // namespace zcv::op
