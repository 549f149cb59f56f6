// The result of a TokenClient operation without outputs.
package vantor.mira;

/**
 * The result of an operation that has no outputs, such as {@link TokenClient#unbinding}.
 *
 * @param code the result code, as {@link Outcome} describes
 */
public record Result(int code) implements Outcome {}
