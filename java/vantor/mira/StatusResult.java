// The result of a card status query.
package vantor.mira;

import java.time.LocalDateTime;
import java.util.Objects;
import java.util.Optional;
import java.util.OptionalInt;

/**
 * The result of {@link TokenClient#status}.
 *
 * @param code the result code, as {@link Outcome} describes
 * @param cardStatus the card's status as the service numbers it, present when accepted
 * @param expiry the card's expiry in local time, present when accepted and readable
 */
public record StatusResult(int code, OptionalInt cardStatus, Optional<LocalDateTime> expiry)
    implements Outcome {
  /**
   * Checks that the outputs are not null.
   *
   * @param code the result code
   * @param cardStatus the status, or empty
   * @param expiry the expiry, or empty
   */
  public StatusResult {
    Objects.requireNonNull(cardStatus, "cardStatus");
    Objects.requireNonNull(expiry, "expiry");
  }
}
