// The operation table: every request template of the library.
#include "service/operation_table.h"

#include <cstring>

namespace zcv {

const Operation kAuth{"TokenAuth.asp?iCardNo=%d&iDynpasswd=%d", "in function TokenAuth  %s",
                      kShortPathBytes, true};
const Operation kAuth2{"TokenAuth2.asp?iCardNo=%d&iDynpasswd=%d", "in function TokenAuth2  %s",
                       kShortPathBytes, true};
const Operation kAuth2Next{"TokenAuth2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
                           "in function TokenAuth2Next  %s", kShortPathBytes, true};
const Operation kBinding{
    "TokenBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
    "in function TokenBinding  %s", kShortPathBytes, false};
const Operation kBinding2{
    "TokenBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
    "in function TokenBinding2  %s", kShortPathBytes, false};
const Operation kBinding2Next{
    "TokenBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d"
    "&sAccount=%s",
    "in function TokenBinding2Next  %s", kShortPathBytes, false};
const Operation kUnBinding{
    "TokenUnBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&iServiceNo=%s",
    "in function TokenUnBinding  %s", kShortPathBytes, false};
const Operation kUnBinding2{
    "TokenUnBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&iServiceNo=%s",
    "in function TokenUnBinding2  %s", kShortPathBytes, false};
const Operation kUnBinding2Next{
    "TokenUnBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d"
    "&sAccount=%s&iServiceNo=%s",
    "in function TokenUnBinding2Next  %s", kShortPathBytes, false};
const Operation kUnBindingEx{"TokenUnBindingEx.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
                             "in function TokenUnBindingEx  %s", kShortPathBytes, false};
const Operation kUnBindingEx2{
    "TokenUnBindingEx2.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&sResvPassWord=%s",
    "in function TokenUnBindingEx2  %s", kShortPathBytes, false};
const Operation kEnable{
    "TokenEnable.asp?sServiceNo=%s&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s"
    "&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenEnable  %s", kLongPathBytes, false};
const Operation kEnableNext{
    "TokenEnableNext.asp?sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s"
    "&iIDType=%d&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenEnableNext  %s", kLongPathBytes, false};
const Operation kDisable{
    "TokenDisable.asp?iCardNo=%d&sServiceNo=%s&sIdCode=%s&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&sOperator=%s",
    "in function TokenDisable  %s", kShortPathBytes, false};
const Operation kLoss{
    "TokenLoss.asp?iCardNo=%d&sServiceNo=%s&iType=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&sOperator=%s",
    "in function TokenLoss  %s", kShortPathBytes, false};
const Operation kUnLoss{"TokenUnLoss.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd=%d&sOperator=%s",
                        "in function TokenUnLoss  %s", kShortPathBytes, false};
const Operation kUnLossNext{
    "TokenUnLossNext.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&sOperator=%s",
    "in function TokenUnLossNext  %s", kShortPathBytes, false};
const Operation kBindInfoQuery{"TokenBindInfoQuery.asp?icardno=%d&iDynpasswd=%d",
                               "in function TokenBindInfoQuery %s", kShortPathBytes, false};
const Operation kBindInfoQueryNext{
    "TokenBindInfoQueryNext.asp?icardno=%d&iDynpasswd1=%d&iDynpasswd2=%d",
    "in function TokenBindInfoQueryNext %s", kShortPathBytes, false};
const Operation kStatus{"TokenStatus.asp?iCardNo=%d", "in function TokenStatus  %s",
                        kShortPathBytes, false};
const Operation kChange{
    "TokenChange.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd=%d",
    "in function TokenChange  %s", kShortPathBytes, false};
const Operation kChangeNext{
    "TokenChangeNext.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd1=%d"
    "&iDynPasswd2=%d",
    "in function TokenChangeNext  %s", kShortPathBytes, false};
const Operation kModifyInfo{
    "TokenModifyInfo.asp?iCardNo=%d&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s"
    "&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenModifyInfo  %s", kLongPathBytes, false};
const Operation kModifyInfoNext{
    "TokenModifyInfoNext.asp?iCardNo=%d&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s"
    "&iIDType=%d&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenModifyInfoNext  %s", kLongPathBytes, false};
const Operation kBindEsale{"TokenBindEsale.asp?iCardNo=%d&iDynpasswd=%d",
                           "in function TokenBindEsale  %s", kShortPathBytes, false};
const Operation kBindEsaleNext{"TokenBindEsaleNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
                               "in function TokenBindEsaleNext  %s", kShortPathBytes, false};
const Operation kBindOther{"TokenBindOther.asp?iCardNo=%d&iDynpasswd=%d",
                           "in function TokenBindOther  %s", kShortPathBytes, false};
const Operation kBindOtherNext{"TokenBindOtherNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
                               "in function TokenBindOtherNext  %s", kShortPathBytes, false};

const OperationRow kOperationTable[kOperationCount] = {
    {"TokenAuth", kAuth},
    {"TokenAuth2", kAuth2},
    {"TokenAuth2Next", kAuth2Next},
    {"TokenBinding", kBinding},
    {"TokenBinding2", kBinding2},
    {"TokenBinding2Next", kBinding2Next},
    {"TokenUnBinding", kUnBinding},
    {"TokenUnBinding2", kUnBinding2},
    {"TokenUnBinding2Next", kUnBinding2Next},
    {"TokenUnBindingEx", kUnBindingEx},
    {"TokenUnBindingEx2", kUnBindingEx2},
    {"TokenEnable", kEnable},
    {"TokenEnableNext", kEnableNext},
    {"TokenDisable", kDisable},
    {"TokenLoss", kLoss},
    {"TokenUnLoss", kUnLoss},
    {"TokenUnLossNext", kUnLossNext},
    {"TokenBindInfoQuery", kBindInfoQuery},
    {"TokenBindInfoQueryNext", kBindInfoQueryNext},
    {"TokenStatus", kStatus},
    {"TokenChange", kChange},
    {"TokenChangeNext", kChangeNext},
    {"TokenModifyInfo", kModifyInfo},
    {"TokenModifyInfoNext", kModifyInfoNext},
    {"TokenBindEsale", kBindEsale},
    {"TokenBindEsaleNext", kBindEsaleNext},
    {"TokenBindOther", kBindOther},
    {"TokenBindOtherNext", kBindOtherNext},
};

const OperationRow* FindOperation(const char* function) {
  for (const OperationRow& row : kOperationTable) {
    if (std::strcmp(row.function, function) == 0) return &row;
  }
  return nullptr;
}

}  // namespace zcv
