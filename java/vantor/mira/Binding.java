// One account a card is bound to, as a binding query reports it.
package vantor.mira;

import java.util.Objects;

/**
 * One account that a card is bound to, a row of {@link BindingsResult}.
 *
 * @param appNo the account's first application number
 * @param appNo2 the account's second application number
 * @param account the account name (the library keeps at most 20 bytes of it)
 * @param bindTime when the binding was made, as the service wrote it (at most 20 bytes)
 */
public record Binding(int appNo, int appNo2, String account, String bindTime) {
  /**
   * Checks that the texts are not null.
   *
   * @param appNo the first application number
   * @param appNo2 the second application number
   * @param account the account name
   * @param bindTime the binding time text
   */
  public Binding {
    Objects.requireNonNull(account, "account");
    Objects.requireNonNull(bindTime, "bindTime");
  }
}
