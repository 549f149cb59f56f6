// The Java face of the token service client library: four of its
// operations as native methods, with their text output appended to a
// StringBuffer that the caller passes in.
package vantor.mira;

/**
 * Token service operations for Java programs.
 *
 * <p>Each method runs one synchronous request to the token service on the calling thread,
 * with failover across the servers listed in the library's configuration file, and returns
 * the result code. Text output is appended to the caller's {@code StringBuffer}; on any result
 * other than {@link #ACCEPTED} an empty text is appended, so the buffer keeps what it held.
 * Any number of threads may call at once.
 *
 * <p>Loading this class loads the native library {@code zephyrcoilvault} (found on {@code
 * java.library.path}), which reads its configuration file at that moment.
 */
public final class Zephyrcoilvault {
  /** The service accepted the request; the output was appended. */
  public static final int ACCEPTED = 9999;
  /** An argument was refused (a null StringBuffer); nothing was sent. */
  public static final int ARGUMENT_REFUSED = 1011;
  /**
   * No usable answer: the configuration is not valid, no server gave a readable reply,
   * authentication is paused after repeated failures, or the StringBuffer could not be
   * appended to.
   */
  public static final int NO_ANSWER = 1012;

  static {
    System.loadLibrary("zephyrcoilvault");
  }

  private Zephyrcoilvault() {}

  /**
   * Checks a card's one-time password (server page TokenAuth2.asp).
   *
   * <p>On {@link #ACCEPTED}, appends the card's expiry as local time, "yyyy-MM-dd HH:mm:ss"
   * (19 characters), to {@code out}; otherwise {@code out} is left as it was.
   *
   * @param iCardNo the token card's number
   * @param iDynpasswd the one-time password the card shows
   * @param out receives the expiry time
   * @return {@link #ACCEPTED}; {@link #ARGUMENT_REFUSED} when {@code out} is null (nothing is
   *     sent); {@link #NO_ANSWER} when no usable answer was obtained (after three calls in a
   *     row that reached no server, calls are refused this way for 150 seconds); any other value
   *     is the service's own verdict
   */
  public static native int TokenAuth2(int iCardNo, int iDynpasswd, StringBuffer out);

  /**
   * Checks two consecutive one-time passwords of a card (server page TokenAuth2Next.asp).
   *
   * <p>On {@link #ACCEPTED}, appends the card's expiry as local time, "yyyy-MM-dd HH:mm:ss"
   * (19 characters), to {@code out}; otherwise {@code out} is left as it was.
   *
   * @param iCardNo the token card's number
   * @param iDynpasswd1 the first one-time password
   * @param iDynpasswd2 the one-time password the card shows next
   * @param out receives the expiry time
   * @return as {@link #TokenAuth2}
   */
  public static native int TokenAuth2Next(
      int iCardNo, int iDynpasswd1, int iDynpasswd2, StringBuffer out);

  /**
   * Links the card to a further account kind, proven by a one-time password (server page
   * TokenBindOther.asp).
   *
   * <p>On {@link #ACCEPTED}, appends the link's reserved password (at most 6 characters) to
   * {@code out}; otherwise {@code out} is left as it was. Bytes of the password that are not
   * UTF-8 arrive as U+FFFD.
   *
   * @param iCardNo the token card's number
   * @param iDynpasswd the one-time password the card shows
   * @param out receives the reserved password
   * @return {@link #ACCEPTED}; {@link #ARGUMENT_REFUSED} when {@code out} is null (nothing is
   *     sent); {@link #NO_ANSWER} when no usable answer was obtained; any other value is the
   *     service's own verdict
   */
  public static native int TokenBindOther(int iCardNo, int iDynpasswd, StringBuffer out);

  /**
   * Links the card to a further account kind, proven by two consecutive one-time passwords
   * (server page TokenBindOtherNext.asp).
   *
   * <p>On {@link #ACCEPTED}, appends the link's reserved password (at most 6 characters) to
   * {@code out}; otherwise {@code out} is left as it was.
   *
   * @param iCardNo the token card's number
   * @param iDynpasswd1 the first one-time password
   * @param iDynpasswd2 the one-time password the card shows next
   * @param out receives the reserved password
   * @return as {@link #TokenBindOther}
   */
  public static native int TokenBindOtherNext(
      int iCardNo, int iDynpasswd1, int iDynpasswd2, StringBuffer out);
}
