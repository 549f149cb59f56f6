// The result of a binding information query.
package vantor.mira;

import java.util.List;

/**
 * The result of {@link TokenClient#bindInfoQuery} and {@link TokenClient#bindInfoQueryNext}.
 *
 * @param code the result code, as {@link Outcome} describes
 * @param rowCount the number of bindings the service reported (0 unless accepted); it may exceed
 *     the size of {@code bindings}, which holds at most ten rows
 * @param bindings the first rows the service sent, at most ten; empty unless accepted
 */
public record BindingsResult(int code, int rowCount, List<Binding> bindings) implements Outcome {
  /**
   * Keeps an unmodifiable copy of {@code bindings}.
   *
   * @param code the result code
   * @param rowCount the reported number of bindings
   * @param bindings the rows
   */
  public BindingsResult {
    bindings = List.copyOf(bindings);
  }
}
