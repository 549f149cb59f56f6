// The result of a TokenClient operation whose output is a reserved password.
package vantor.mira;

import java.util.Objects;
import java.util.Optional;

/**
 * The result of an operation that hands out a reserved password: the bindings and the account
 * links ({@link TokenClient#binding}, {@link TokenClient#bindEsale}, {@link
 * TokenClient#bindOther} and their variants).
 *
 * @param code the result code, as {@link Outcome} describes
 * @param reservedPassword the reserved password (at most six characters), present when the
 *     request was accepted
 */
public record PasswordResult(int code, Optional<String> reservedPassword) implements Outcome {
  /**
   * Checks that {@code reservedPassword} is not null.
   *
   * @param code the result code
   * @param reservedPassword the password, or empty
   */
  public PasswordResult {
    Objects.requireNonNull(reservedPassword, "reservedPassword");
  }
}
