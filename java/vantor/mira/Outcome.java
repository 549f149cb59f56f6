// What every TokenClient result has: the library's result code.
package vantor.mira;

/**
 * The result code of one {@link TokenClient} call, which every result type carries.
 *
 * <p>The code is {@link TokenClient#ACCEPTED} when the service accepted the request, {@link
 * TokenClient#ARGUMENT_REFUSED} when an argument was refused and nothing was sent, {@link
 * TokenClient#NO_ANSWER} when no server gave a usable answer, and any other value exactly as the
 * service sent it.
 */
public interface Outcome {
  /**
   * The result code.
   *
   * @return the library's or the service's code
   */
  int code();

  /**
   * Whether the service accepted the request.
   *
   * @return {@code code() == TokenClient.ACCEPTED}
   */
  default boolean isAccepted() {
    return code() == TokenClient.ACCEPTED;
  }
}
