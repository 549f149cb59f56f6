// The result of a TokenClient operation whose output is the card's expiry.
package vantor.mira;

import java.time.LocalDateTime;
import java.util.Objects;
import java.util.Optional;

/**
 * The result of an operation that reports the card's expiry: the authentications and {@link
 * TokenClient#enable}.
 *
 * @param code the result code, as {@link Outcome} describes
 * @param expiry the card's expiry in local time; present when the request was accepted and the
 *     library's expiry text could be read
 */
public record ExpiryResult(int code, Optional<LocalDateTime> expiry) implements Outcome {
  /**
   * Checks that {@code expiry} is not null.
   *
   * @param code the result code
   * @param expiry the expiry, or empty
   */
  public ExpiryResult {
    Objects.requireNonNull(expiry, "expiry");
  }
}
