// The native methods under TokenClient: one per function of the library's C
// interface, on a client handle. Texts go in as byte arrays already in the
// client's charset (null for an absent optional text); outputs come back in
// the arrays passed in, written only when the result is 9999.
package vantor.mira;

final class NativeClient {
  /** Bytes of an expiry output: "yyyy-MM-dd HH:mm:ss" and a NUL. */
  static final int EXPIRE_BYTES = 20;
  /** Bytes of a reserved password output: six characters and a NUL. */
  static final int PASSWORD_BYTES = 7;
  /** Bytes of one binding row in the machine's byte order. */
  static final int ROW_BYTES = 52;
  /** Rows a binding query writes at most. */
  static final int MAX_ROWS = 10;
  /** Bytes of the reason a failed open writes. */
  static final int ERROR_BYTES = 256;

  static {
    System.loadLibrary("zephyrcoilvault");
  }

  private NativeClient() {}

  static native long open(byte[] config, byte[] log, byte[] error);

  static native void close(long client);

  static native int auth(long client, int cardNo, int dynpasswd, byte[] expiry);

  static native int auth2(long client, int cardNo, int dynpasswd, byte[] expiry);

  static native int auth2Next(
      long client, int cardNo, int dynpasswd1, int dynpasswd2, byte[] expiry);

  static native int binding(
      long client, int cardNo, int dynpasswd, int appNo, int appNo2, byte[] account,
      byte[] password);

  static native int binding2(
      long client, int cardNo, int dynpasswd, int appNo, int appNo2, byte[] account,
      byte[] password);

  static native int binding2Next(
      long client, int cardNo, int dynpasswd1, int dynpasswd2, int appNo, int appNo2,
      byte[] account, byte[] password);

  static native int unbinding(
      long client, int cardNo, byte[] serviceNo, int dynpasswd, int appNo, int appNo2,
      byte[] account);

  static native int unbinding2(
      long client, int cardNo, byte[] serviceNo, int dynpasswd, int appNo, int appNo2,
      byte[] account);

  static native int unbinding2Next(
      long client, int cardNo, byte[] serviceNo, int dynpasswd1, int dynpasswd2, int appNo,
      int appNo2, byte[] account);

  static native int unbindingEx(long client, int cardNo, int appNo, int appNo2, byte[] account);

  static native int unbindingEx2(
      long client, int cardNo, int appNo, int appNo2, byte[] account, byte[] resvPassword);

  static native int enable(
      long client, byte[] serviceNo, int dynpasswd, byte[] userName, int idType, byte[] id,
      byte[] mobile, byte[] tel, byte[] post, byte[] email, byte[] address, byte[] expiry);

  static native int enableNext(
      long client, byte[] serviceNo, int dynpasswd1, int dynpasswd2, byte[] userName,
      int idType, byte[] id, byte[] mobile, byte[] tel, byte[] post, byte[] email,
      byte[] address, byte[] expiry);

  static native int disable(
      long client, int cardNo, byte[] serviceNo, byte[] idCode, int appNo, int appNo2,
      byte[] account, byte[] operatorName);

  static native int loss(
      long client, int cardNo, byte[] serviceNo, int type, int appNo, int appNo2,
      byte[] account, byte[] operatorName);

  static native int unloss(
      long client, int cardNo, byte[] serviceNo, int dynpasswd, byte[] operatorName);

  static native int unlossNext(
      long client, int cardNo, byte[] serviceNo, int dynpasswd1, int dynpasswd2,
      byte[] operatorName);

  static native int bindInfoQuery(
      long client, int cardNo, int dynpasswd, int[] rowCount, byte[] rows);

  static native int bindInfoQueryNext(
      long client, int cardNo, int dynpasswd1, int dynpasswd2, int[] rowCount, byte[] rows);

  static native int status(long client, int cardNo, int[] cardStatus, byte[] expiry);

  static native int change(
      long client, int cardNoOld, byte[] serviceNoOld, byte[] serviceNoNew, int dynpasswd);

  static native int changeNext(
      long client, int cardNoOld, byte[] serviceNoOld, byte[] serviceNoNew, int dynpasswd1,
      int dynpasswd2);

  static native int modifyInfo(
      long client, int cardNo, int dynpasswd, byte[] userName, int idType, byte[] id,
      byte[] mobile, byte[] tel, byte[] post, byte[] email, byte[] address);

  static native int modifyInfoNext(
      long client, int cardNo, int dynpasswd1, int dynpasswd2, byte[] userName, int idType,
      byte[] id, byte[] mobile, byte[] tel, byte[] post, byte[] email, byte[] address);

  static native int bindEsale(long client, int cardNo, int dynpasswd, byte[] password);

  static native int bindEsaleNext(
      long client, int cardNo, int dynpasswd1, int dynpasswd2, byte[] password);

  static native int bindOther(long client, int cardNo, int dynpasswd, byte[] password);

  static native int bindOtherNext(
      long client, int cardNo, int dynpasswd1, int dynpasswd2, byte[] password);
}
